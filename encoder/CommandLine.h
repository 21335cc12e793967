#pragma once
// The command line of av: options in any order, each followed by its value, and the
// target file as the last argument (even when it begins with "-").
//
//   av -i SOURCE [-ss HH:MM:SS] [-t HH:MM:SS] [-f mp3|amr|ipod|ogg]
//      [-acodec mp3|amr_nb|aac|libvorbis] [-ab KBIT/S] [-ac CHANNELS] [-ar HZ]
//      [-fade MS] [-loudness LUFS] TARGET
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace av {

enum class Codec { Mp3, AmrNb, Aac, Vorbis };
// Ipod is an MPEG-4 audio file (brand "M4A "), as phones take for a ringtone.
enum class Container { Mp3, Amr, Ipod, Ogg };

struct Request {
    std::string source;
    std::int64_t startSeconds = 0;                // may be negative: taken as 0, same end
    std::optional<std::int64_t> lengthSeconds;    // none: up to the end of the source
    Codec codec = Codec::Mp3;
    Container container = Container::Mp3;
    std::optional<double> bitRateKbps;            // none: the codec's default
    std::optional<int> channels;                  // none: as the source, where the codec allows
    std::optional<int> sampleRate;                // none: as the source, where the codec allows
    std::optional<int> fadeMs;                    // none: no fades; else each end fades over this long
    std::optional<double> loudnessLufs;           // none: levels kept; else the selection made this loud
    std::string target;
};

// One line that shows how av is called.
extern const char* const kUsage;

// Reads the arguments that follow the program name. Throws ToolError with a message
// that names the offending option or value.
Request ParseCommandLine(const std::vector<std::string>& args);

// Names as the command line gives them: "mp3", "amr_nb", "aac", "libvorbis"; "mp3", "amr",
// "ipod", "ogg".
const char* CodecName(Codec codec);
const char* ContainerName(Container container);

}  // namespace av
