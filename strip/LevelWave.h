#pragma once
// The strip's wave drawn from the audio's levels: columns whose level has arrived show a
// bar of the level's height, the others keep the pseudo-random wave, so a strip fills in
// from the left as levels come. The heights go to the renderer through SetWaveHeights,
// so the bars are drawn as the pseudo-random ones are (colours, band, selection, baseline).
// Shown or not, the levels are kept: switching the audio's wave off brings the
// pseudo-random wave back, and on again shows the levels that have arrived meanwhile.
#include <cstdint>
#include <vector>

class TWaveRender;

// The bar height of a column's peak (0 silence .. 32767 full scale) in a band whose
// tallest bar is `tallest`: 0 for silence, `tallest` for full scale.
int32_t BarHeightOfPeak(int32_t peak, int32_t tallest);

class LevelWave {
public:
    // The renderer is not owned and must outlive this object.
    explicit LevelWave(TWaveRender& render);

    // Takes the renderer's current wave as the pseudo-random one and forgets the levels;
    // called after the strip has been sized for a new file.
    void Restart();
    // Adds the levels of the next columns and shows them, if the audio's wave is shown.
    void Append(const std::vector<std::int16_t>& peaks);
    void SetShown(bool shown);
    bool Shown() const { return shown_; }
    std::size_t LevelCount() const { return peaks_.size(); }

private:
    // Hands the renderer the heights of the wave as it is to be seen now.
    void Apply();

    TWaveRender& render_;
    // Both kept as small integers: a 10-hour strip (180 000 columns) holds about 700 KB.
    std::vector<std::int16_t> pseudoWave_;
    std::vector<std::int16_t> peaks_;
    bool shown_ = true;
};
