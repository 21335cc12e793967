#pragma once
// The selection strip: the begin marker, the end marker and the play cursor, all as
// strip columns (five to a second, never clamped), the bar heights of its wave, and the
// renderer that draws the strip onto a canvas: a ruler in seconds, the grey band of the
// selection, the two marker triangles, the wave's bars and the cursor. The whole strip
// can be drawn (Paint), or only a stretch of its columns (PaintColumns), which is what a
// view of a long strip draws: its cost follows the columns drawn, not the strip's length.
// The wave is pseudo-random (it does not come from the audio) unless heights are handed in.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Canvas.h"
#include "strip/RulerNumbers.h"

class TWaveRender {
public:
    // The canvas is not owned and may be null: then the strip is only drawn by a view
    // through PaintColumns. Draws nothing yet.
    TWaveRender(TCanvas* canvas, int32_t width, int32_t height);

    // Sets the strip's width in columns, makes a new wave for it and repaints.
    void SetWaveWidth(int32_t columns);
    // Rebuilds the wave: a random walk of bar heights, one per column.
    void GenerateWave();
    // Replaces the bar heights, one per column from column 0, and repaints. Columns past
    // the last height have no bar, so heights that arrive bit by bit can be shown as they come.
    void SetWaveHeights(std::vector<int32_t> heights);
    // The height of the tallest bar that the band leaves room for: the limit of the
    // random walk, and the height of full scale in a wave that comes from the audio.
    int32_t TallestBar() const;
    // Draws the whole strip onto the canvas given at construction, if any.
    void Paint();
    // Draws the strip's columns firstColumn .. firstColumn + count - 1 onto the canvas's
    // bitmap from its left edge, each pixel as Paint draws it at that column on a bitmap
    // as wide as the strip. The bitmap is meant to be count columns wide.
    void PaintColumns(TCanvas& canvas, int32_t firstColumn, int32_t count);

    // Each setter stores the column and repaints, even when the value is unchanged.
    void SetCursorPos(int32_t column);
    void SetBeginPos(int32_t column);
    void SetEndPos(int32_t column);

    int32_t SelLeft() const;
    int32_t SelRight() const;
    // Columns as whole seconds: the column divided by 5, truncated toward zero.
    int32_t BeginSecond() const;
    int32_t EndSecond() const;
    int32_t CursorSecond() const;

    int32_t CursorPos() const { return FCursorPos; }
    int32_t BeginPos() const { return FBeginPos; }
    int32_t EndPos() const { return FEndPos; }
    int32_t WaveWidth() const { return FWaveWidth; }
    int32_t StripWidth() const { return FStripWidth; }
    int32_t StripHeight() const { return FStripHeight; }
    const std::vector<int32_t>& Wave() const { return FWave; }

    static constexpr int32_t ColumnsPerSecond = 5;
    static constexpr TColor RulerColor = 0xFFFFFF;
    static constexpr TColor BackColor = 0x000000;   // black

    // Called after every change of the strip (a marker, the cursor, the width, the wave),
    // after the whole-strip repaint if there is a canvas: a view schedules its redraw here.
    std::function<void()> OnChange;

private:
    // A change: repaints the whole strip when there is a canvas, and tells the view.
    void Changed();
    // Draws every part of the strip that lies in the columns from first up to end (end
    // excluded) onto the canvas, in strip coordinates; the canvas's origin and bitmap
    // decide where the pixels land and which are kept.
    void DrawColumns(TCanvas& canvas, int64_t first, int64_t end);
    void DrawRuler(TCanvas& canvas, int64_t first, int64_t end);
    // The rule for the ruler's numbers in the canvas's font, worked out once per font.
    const RulerNumbers& Numbers(const QFont& font);

    TCanvas* FStripCanvas;
    int32_t FStripWidth;
    int32_t FStripHeight;
    int32_t FWaveWidth = 0;
    int32_t FBeginPos = 100;
    int32_t FEndPos = 150;
    int32_t FCursorPos = 20;
    std::vector<int32_t> FWave;
    std::optional<RulerNumbers> FNumbers;
    const TColor FBackColor = BackColor;
    const TColor FWaveColor = 0x008000;     // green
    const TColor FSelColor = 0x808080;      // grey
    const TColor FBeginColor = 0x00FFFF;    // yellow
    const TColor FEndColor = 0x0000FF;      // red
    const TColor FCursorColor = 0xF0CAA6;   // sky blue
};
