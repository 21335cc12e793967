#include "strip/StripRandom.h"

namespace {

constexpr std::uint32_t kMultiplier = 134775813u;
// Only the main thread draws; the generator is shared by every strip of the process.
std::uint32_t state = 0;

}  // namespace

int32_t StripRandom(int32_t n)
{
    state = state * kMultiplier + 1u;
    return int32_t((std::uint64_t(state) * std::uint32_t(n)) >> 32);
}

void ResetStripRandomForTesting()
{
    state = 0;
}
