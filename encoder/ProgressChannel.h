#pragma once
// How far av has come, told on a channel of its own beside the two command lines: when
// the environment variable AV_PROGRESS_FD names a descriptor that the caller left open
// for the tool, av writes a line with the whole percentage done ("45\n") each time it
// grows, and "100" once the target has been written. Without the variable nothing is
// written and av behaves exactly as without the channel; a channel whose reader has gone
// is given up quietly.
#include "base/UniqueFd.h"

#include <cstdint>

namespace av {

extern const char* const kProgressFdVariable;   // "AV_PROGRESS_FD"

class ProgressChannel {
public:
    // The channel that the environment names, or none.
    static ProgressChannel FromEnvironment();
    // Owns the descriptor; -1 for no channel.
    explicit ProgressChannel(int fd);

    // The number of samples the whole work takes; unknown (0) reports nothing until Finish.
    void SetTotal(std::int64_t samples);
    // Another stretch of samples done.
    void Advance(std::int64_t samples);
    // The work is complete: tells 100.
    void Finish();

private:
    void Tell(int percent);

    base::UniqueFd fd_;
    std::int64_t total_ = 0;
    std::int64_t done_ = 0;
    int told_ = -1;
};

}  // namespace av
