#pragma once
// Runs the encoder tool as a separate process and waits for it to end.
#include <functional>
#include <string>
#include <vector>

struct RunResult {
    bool started = false;
    int exitCode = -1;         // the tool's exit status; -1 when it did not start or was killed
    std::string message;       // the tool's last line on standard error, or why it did not start
};

// Runs the program open at programFd (the very file behind the descriptor, whatever its
// name leads to by now) with the arguments (arguments[0] is the name the tool sees as
// its own), in the folder open at workingDirFd, with standard input from /dev/null and
// standard output discarded; no shell is involved. Waits without a time-out. The process
// is not tied to the caller: if the caller's process ends first, the tool runs on to the
// end.
//
// With onProgress, the tool is also handed the write end of a pipe, named in its
// environment as AV_PROGRESS_FD (never on its command line), and each whole percentage
// it writes there ("45\n") is passed to onProgress, on the calling thread, while the
// tool runs.
RunResult RunAndWait(int programFd, const std::vector<std::string>& arguments, int workingDirFd,
                     const std::function<void(int percent)>& onProgress = {});
