#pragma once
// Helpers for tests that need real files: a private scratch folder and the
// command-line tools (ffmpeg, sox) that make audio fixtures at test time.
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

// A scratch folder removed with everything in it when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct ToolResult {
    int exitCode = -1;        // -1 when the program could not be started
    std::string standardOutput;
    std::string standardError;
};

// Runs a program found on PATH with an argument vector (no shell) and waits for it.
ToolResult RunTool(const std::vector<std::string>& argv);

// The byte positions of the packets of the first audio stream, as ffprobe (FFmpeg's
// demuxer, reading the file from its start) tells them.
std::vector<std::int64_t> AudioPacketPositions(const std::string& path);

// Runs ffmpeg quietly with the given arguments (after "-y -hide_banner -loglevel error").
// Returns true when it exited with 0.
bool Ffmpeg(const std::vector<std::string>& args);

// A sine tone made by ffmpeg's lavfi source: seconds long, at the given sample rate
// and channel count, encoded by whatever the target's extension asks for plus extra.
bool MakeTone(const std::string& target, double seconds, int sampleRate = 44100,
              int channels = 2, const std::vector<std::string>& encoderArgs = {});

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace fixtures
