#include "strip/WaveRender.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "strip/StripRandom.h"

namespace {

// Rows of the strip's parts.
constexpr int32_t kRulerLineRow = 15;
constexpr int32_t kTickTopRow = 11;
constexpr int32_t kTickEndRow = 16;        // ticks end before this row
constexpr int32_t kBandTopRow = 16;
constexpr int32_t kMarkerRows = 8;         // the triangles at the bottom
constexpr int32_t kRulerAndMarkerRows = 24;
constexpr int32_t kCursorTriangleRows = 8;
constexpr int32_t kCursorTriangleHalfWidth = 5;
constexpr int32_t kColumnsPerLabel = 25;   // a number every five seconds

// The walk.
constexpr int32_t kWaveStart = 50;
constexpr int32_t kWaveFloor = 20;
constexpr int32_t kWaveHeadroom = 20;
constexpr int32_t kStepRange = 20;          // steps from -10 to 9
constexpr int32_t kStepOffset = 10;

// Geometry next to a column (a triangle 8 columns to its side) is worked out in 64 bits
// and held at the ends of the int range, so that a column near either end cannot
// overflow; such a point lies far off the canvas either way.
int Pin(int64_t value)
{
    return int(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

TWaveRender::TWaveRender(TCanvas* canvas, int32_t width, int32_t height)
    : FStripCanvas(canvas), FStripWidth(width), FStripHeight(height)
{
}

void TWaveRender::SetWaveWidth(int32_t columns)
{
    FWaveWidth = columns;
    FStripWidth = columns;
    GenerateWave();
    Paint();
}

void TWaveRender::GenerateWave()
{
    if (FWaveWidth <= 0)
        return;
    FWave.resize(std::size_t(FWaveWidth));
    const int32_t limit = (FStripHeight - kRulerAndMarkerRows) / 2 - kWaveHeadroom;
    int32_t prev = kWaveStart;
    for (int32_t i = 0; i < FStripWidth; ++i) {
        int32_t step = StripRandom(kStepRange) - kStepOffset;
        if (prev > limit)
            step = -std::abs(step);   // may only go down or stay
        if (prev < kWaveFloor)
            step = std::abs(step);    // may only go up or stay; wins when both hold
        prev += step;
        FWave[std::size_t(i)] = prev;
    }
}

void TWaveRender::Paint()
{
    TCanvas& canvas = *FStripCanvas;
    const int32_t half = (FStripHeight - kRulerAndMarkerRows) / 2;
    const int32_t markerTop = FStripHeight - kMarkerRows;
    canvas.BeginUpdate();
    canvas.SetPenMode(TPenMode::Copy);

    // Background.
    canvas.SetBrushColor(FBackColor);
    canvas.FillRect(0, 0, FStripWidth, FStripHeight);

    // Ruler: line, label, a tick every second and a number every five seconds.
    canvas.SetPenColor(RulerColor);
    canvas.MoveTo(0, kRulerLineRow);
    canvas.LineTo(FWaveWidth - 1, kRulerLineRow);
    canvas.SetFont(canvas.Font(), RulerColor);
    if (FWaveWidth >= 1)
        canvas.TextOut(0, 0, QStringLiteral("(S)"));
    for (int32_t i = 0; i < FWaveWidth; ++i) {
        const int32_t n = i + 1;
        if (n % ColumnsPerSecond == 0) {
            canvas.MoveTo(i, kTickTopRow);
            canvas.LineTo(i, kTickEndRow);
        }
        if (n % kColumnsPerLabel == 0)
            canvas.TextOut(i, 0, QString::number(n / ColumnsPerSecond));
    }

    // Selection band.
    canvas.SetBrushColor(FSelColor);
    canvas.FillRect(FBeginPos, kBandTopRow, FEndPos, markerTop);

    // Begin marker: a right triangle left of the begin column.
    const QPoint begin[] = {
        {FBeginPos, markerTop}, {Pin(int64_t(FBeginPos) - kMarkerRows), FStripHeight}, {FBeginPos, FStripHeight}};
    canvas.SetBrushColor(FBeginColor);
    canvas.SetPenColor(FBeginColor);
    canvas.Polygon(begin, 3);
    // End marker: its mirror image, right of the end column.
    const QPoint end[] = {
        {FEndPos, markerTop}, {Pin(int64_t(FEndPos) + kMarkerRows), FStripHeight}, {FEndPos, FStripHeight}};
    canvas.SetBrushColor(FEndColor);
    canvas.SetPenColor(FEndColor);
    canvas.Polygon(end, 3);

    // Wave: selected bars in XOR over the band, the others copied over the background.
    canvas.SetPenColor(FWaveColor);
    const int32_t bars = std::min<int64_t>(FStripWidth, int64_t(FWave.size()));
    const int32_t selLeft = SelLeft(), selRight = SelRight();
    for (int32_t j = 0; j < bars; ++j) {
        const int32_t height = FWave[std::size_t(j)];
        canvas.SetPenMode(j >= selLeft && j <= selRight ? TPenMode::Xor : TPenMode::Copy);
        canvas.MoveTo(j, half - height + kBandTopRow);
        canvas.LineTo(j, half + height + kBandTopRow);
    }
    canvas.SetPenMode(TPenMode::Copy);

    // Cursor: a line and a triangle pointing down at the top.
    canvas.SetPenColor(FCursorColor);
    canvas.MoveTo(FCursorPos, 0);
    canvas.LineTo(FCursorPos, markerTop);
    const QPoint cursor[] = {{Pin(int64_t(FCursorPos) - kCursorTriangleHalfWidth), 0},
                             {Pin(int64_t(FCursorPos) + kCursorTriangleHalfWidth), 0},
                             {FCursorPos, kCursorTriangleRows}};
    canvas.SetBrushColor(FCursorColor);
    canvas.Polygon(cursor, 3);
    canvas.EndUpdate();
}

void TWaveRender::SetCursorPos(int32_t column)
{
    FCursorPos = column;
    Paint();
}

void TWaveRender::SetBeginPos(int32_t column)
{
    FBeginPos = column;
    Paint();
}

void TWaveRender::SetEndPos(int32_t column)
{
    FEndPos = column;
    Paint();
}

int32_t TWaveRender::SelLeft() const
{
    return std::min(FBeginPos, FEndPos);
}

int32_t TWaveRender::SelRight() const
{
    return std::max(FBeginPos, FEndPos);
}

int32_t TWaveRender::BeginSecond() const
{
    return FBeginPos / ColumnsPerSecond;
}

int32_t TWaveRender::EndSecond() const
{
    return FEndPos / ColumnsPerSecond;
}

int32_t TWaveRender::CursorSecond() const
{
    return FCursorPos / ColumnsPerSecond;
}
