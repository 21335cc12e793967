#pragma once
// The selection strip: the begin marker, the end marker and the play cursor, all as
// strip columns (five to a second, never clamped), and the renderer that draws the whole
// strip onto a canvas: a ruler in seconds, the grey band of the selection, the two marker
// triangles, a pseudo-random wave (it does not come from the audio) and the cursor.
#include <cstdint>
#include <vector>

#include "platform/Canvas.h"

class TWaveRender {
public:
    // The canvas is not owned. Draws nothing yet.
    TWaveRender(TCanvas* canvas, int32_t width, int32_t height);

    // Sets the strip's width in columns, makes a new wave for it and repaints.
    void SetWaveWidth(int32_t columns);
    // Rebuilds the wave: a random walk of bar heights, one per column.
    void GenerateWave();
    // Draws the whole strip.
    void Paint();

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

private:
    TCanvas* FStripCanvas;
    int32_t FStripWidth;
    int32_t FStripHeight;
    int32_t FWaveWidth = 0;
    int32_t FBeginPos = 100;
    int32_t FEndPos = 150;
    int32_t FCursorPos = 20;
    std::vector<int32_t> FWave;
    const TColor FBackColor = 0x000000;     // black
    const TColor FWaveColor = 0x008000;     // green
    const TColor FSelColor = 0x808080;      // grey
    const TColor FBeginColor = 0x00FFFF;    // yellow
    const TColor FEndColor = 0x0000FF;      // red
    const TColor FCursorColor = 0xF0CAA6;   // sky blue
};
