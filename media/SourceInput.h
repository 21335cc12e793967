#pragma once
// Opens an audio source for the FFmpeg libraries so that no file can make the program
// hang, follow a list to other files, or read and hold without bound:
//  - SourceFile opens the path once (without blocking and without taking a terminal) and
//    accepts only a regular file; a named pipe, a device or a folder is refused before
//    anything reads from it.
//  - SourceInput reads that very descriptor through a reading context of its own, so no
//    protocol is ever opened and the path is never opened a second time. Only audio file
//    formats are accepted (MP3, WAV, ASF/WMA, FLAC, Ogg, MP4/M4A, AAC, AIFF, AMR); lists,
//    playlists and anything else that would open further files are refused, and the
//    demuxer cannot open any other file at all.
//  - Reading is bounded: probing looks at most kProbeBytes, and no more than
//    kReadBoundBytes are read while opening or between two packets, so a file of zeros
//    (or junk after the audio) ends the reading instead of being gathered up whole.
//  - A cancel flag, set from any thread, breaks off whatever is being read.
#include "media/FfmpegPtr.h"
#include "base/UniqueFd.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace media {

// Why a source was refused.
class SourceError : public std::runtime_error {
public:
    enum class Kind {
        CannotOpen,      // the path cannot be opened or examined; averror() tells why
        NotRegularFile,  // a named pipe, device or socket (a folder is CannotOpen)
        NotAudioFormat,  // a format that is not an audio file, or reading ran past its bound
        Cancelled,       // the cancel flag was set
        Failed,          // FFmpeg refused the data; averror() tells why
        NoLibraries,     // the FFmpeg libraries cannot be loaded; what() tells why
    };
    SourceError(Kind kind, int averror);
    SourceError(Kind kind, const std::string& text);
    Kind kind() const { return kind_; }
    // FFmpeg's error code (AVERROR(errno) for the system's errors); 0 when none applies.
    int averror() const { return averror_; }

private:
    Kind kind_;
    int averror_;
};

// A regular file, opened for reading.
class SourceFile {
public:
    // Throws SourceError (CannotOpen, NotRegularFile).
    explicit SourceFile(const std::string& path);

    const std::string& path() const { return path_; }
    int descriptor() const { return fd_.get(); }
    std::int64_t size() const { return size_; }
    // A name under which this very file (not whatever the path names by now) opens again,
    // for code that reads the file by name.
    std::string descriptorPath() const;

private:
    std::string path_;
    base::UniqueFd fd_;
    std::int64_t size_ = 0;
};

// Set from any thread to break off the opening or reading of a source.
using CancelFlag = std::shared_ptr<const std::atomic<bool>>;

// An FFmpeg input over a SourceFile, its streams found. The file must outlive it.
class SourceInput {
public:
    static constexpr std::int64_t kProbeBytes = 1 << 20;
    static constexpr std::int64_t kReadBoundBytes = 16 << 20;
    // The demuxers that are accepted, as FFmpeg names them.
    static const char* const kAudioFormats;

    // Loads the FFmpeg libraries first (media/FfmpegLibraries.h).
    // Throws SourceError (NoLibraries, NotAudioFormat, Cancelled, Failed) or std::bad_alloc.
    explicit SourceInput(const SourceFile& file, CancelFlag cancel = nullptr);
    ~SourceInput();
    SourceInput(const SourceInput&) = delete;
    SourceInput& operator=(const SourceInput&) = delete;

    AVFormatContext* get() const { return input_.get(); }
    AVFormatContext* operator->() const { return input_.get(); }

    // av_read_frame, with the read bound starting again after each packet. At the bound
    // the stream ends as at the end of the file.
    int readPacket(AVPacket* packet);
    // True once a read was refused for running past the bound.
    bool readBoundReached() const;

private:
    class Reader;
    [[noreturn]] void fail(int averror) const;

    std::unique_ptr<Reader> reader_;
    IoContextPtr io_;
    InputPtr input_;
};

}  // namespace media
