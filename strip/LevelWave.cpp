#include "strip/LevelWave.h"

#include <algorithm>
#include <cmath>

#include "strip/WaveRender.h"

namespace {

// The bars show the peak in decibels over the 54 dB below full scale: hearing follows
// the logarithm of loudness, so a passage at -30 dBFS, plainly audible, is a bar of
// nearly half the height, where a linear scale would draw it as a 1-pixel sliver next to
// a loud one. 54 dB keeps quiet fades and reverb tails visible while leaving noise floors
// and dithering (below -60 dBFS) at no bar; silence (peak 0) has no bar either.
constexpr double kRangeDb = 54.0;
constexpr double kFullScale = 32767.0;

}  // namespace

int32_t BarHeightOfPeak(int32_t peak, int32_t tallest)
{
    if (peak <= 0 || tallest <= 0)
        return 0;
    const double db = 20.0 * std::log10(std::min(double(peak), kFullScale) / kFullScale);
    const double share = std::clamp(1.0 + db / kRangeDb, 0.0, 1.0);
    return int32_t(std::lround(share * tallest));
}

LevelWave::LevelWave(TWaveRender& render) : render_(render) {}

void LevelWave::Restart()
{
    const std::vector<int32_t>& wave = render_.Wave();
    pseudoWave_.assign(wave.begin(), wave.end());
    peaks_.clear();
}

void LevelWave::Append(const std::vector<std::int16_t>& peaks)
{
    // Levels past the strip's last column (the part of a second its length leaves out)
    // are never drawn and need not be kept.
    const std::size_t room = pseudoWave_.size() - std::min(pseudoWave_.size(), peaks_.size());
    peaks_.insert(peaks_.end(), peaks.begin(), peaks.begin() + std::ptrdiff_t(std::min(room, peaks.size())));
    if (shown_)
        Apply();
}

void LevelWave::SetShown(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    Apply();
}

void LevelWave::Apply()
{
    std::vector<int32_t> heights(pseudoWave_.begin(), pseudoWave_.end());
    if (shown_) {
        const int32_t tallest = render_.TallestBar();
        for (std::size_t i = 0; i < peaks_.size(); ++i)
            heights[i] = BarHeightOfPeak(peaks_[i], tallest);
    }
    render_.SetWaveHeights(std::move(heights));
}
