#pragma once
// The FFmpeg libraries are opened when they are first needed, not when the program
// starts: the window shows without them (they and what they bring with them are over a
// hundred shared libraries), and the encoder tool's paths that decode nothing never load
// them.
//
// FfmpegLibraries.cpp defines every FFmpeg function the program and the encoder tool
// call, with the very signatures of FFmpeg's headers; each passes its call on to the
// function of that name in the library opened by LoadFfmpeg. The libraries are opened by
// the sonames of the headers' major versions, so they are always the ones the code was
// compiled against.
//
// Whatever opens a source (media::SourceInput) loads them first and turns a failure into
// a SourceError; a call that reaches FFmpeg before any load loads the libraries itself,
// and ends the program with a one-line message only if they cannot be loaded.
#include <string>

namespace media {

// The sonames that LoadFfmpeg opens, in the order it opens them.
struct FfmpegLibraryNames {
    std::string avutil;
    std::string swresample;
    std::string avcodec;
    std::string avformat;
};

// libavutil.so.<LIBAVUTIL_VERSION_MAJOR> and so on, from the headers.
FfmpegLibraryNames DefaultFfmpegLibraryNames();

// Opens the libraries and finds every function once, from any thread, and sets FFmpeg's
// log level to quiet (what the decoder has to say reaches the user through the callers'
// errors). True once loaded; otherwise false, with the reason in *error, and every later
// call fails the same way.
bool LoadFfmpeg(std::string* error = nullptr);

// Starts LoadFfmpeg on a thread of its own (once), for the moments before an open (the
// Open dialog): the first open then finds the libraries loaded, or waits for the load
// under way. The thread is waited for when the program ends.
void StartLoadingFfmpeg();

// True once LoadFfmpeg has succeeded.
bool FfmpegLoaded();

// The names the first load opens instead of the defaults, for a process that checks
// what a missing library does. False (and nothing changes) once a load has been tried.
bool UseFfmpegLibraryNames(const FfmpegLibraryNames& names);

}  // namespace media
