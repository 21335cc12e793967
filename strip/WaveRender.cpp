#include "strip/WaveRender.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iterator>
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
    Changed();
}

void TWaveRender::GenerateWave()
{
    if (FWaveWidth <= 0)
        return;
    FWave.resize(std::size_t(FWaveWidth));
    const int32_t limit = TallestBar();
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

int32_t TWaveRender::TallestBar() const
{
    return (FStripHeight - kRulerAndMarkerRows) / 2 - kWaveHeadroom;
}

void TWaveRender::SetWaveHeights(std::vector<int32_t> heights)
{
    FWave = std::move(heights);
    Changed();
}

void TWaveRender::Changed()
{
    if (FStripCanvas)
        Paint();
    if (OnChange)
        OnChange();
}

void TWaveRender::Paint()
{
    if (!FStripCanvas)
        return;
    const int previousOrigin = FStripCanvas->OriginColumn();
    FStripCanvas->SetOriginColumn(0);
    DrawColumns(*FStripCanvas, 0, std::numeric_limits<int32_t>::max());
    FStripCanvas->SetOriginColumn(previousOrigin);
}

void TWaveRender::PaintColumns(TCanvas& canvas, int32_t firstColumn, int32_t count)
{
    if (count <= 0)
        return;
    const int previousOrigin = canvas.OriginColumn();
    canvas.SetOriginColumn(firstColumn);
    DrawColumns(canvas, firstColumn, int64_t(firstColumn) + count);
    canvas.SetOriginColumn(previousOrigin);
}

const RulerNumbers& TWaveRender::Numbers(const QFont& font)
{
    if (!FNumbers || FNumbers->Font() != font)
        FNumbers.emplace(font);
    return *FNumbers;
}

void TWaveRender::DrawRuler(TCanvas& canvas, int64_t first, int64_t end)
{
    canvas.SetPenColor(RulerColor);
    // The line runs from column 0 to the last column, leaving out its end point as every
    // line does; with no columns it runs from 0 to -1 and so still covers column 0.
    int64_t lineLeft = 0, lineRight = int64_t(FWaveWidth) - 1;   // right excluded
    if (lineRight < 0) {
        lineLeft = int64_t(FWaveWidth);
        lineRight = 1;
    }
    lineLeft = std::max(lineLeft, first);
    lineRight = std::min(lineRight, end);
    if (lineLeft < lineRight) {
        canvas.MoveTo(int(lineLeft), kRulerLineRow);
        canvas.LineTo(int(lineRight), kRulerLineRow);
    }

    canvas.SetFont(canvas.Font(), RulerColor);
    if (FWaveWidth >= 1)
        canvas.TextOut(0, 0, QLatin1String("(S)"));

    // A tick every second.
    const int64_t tickEnd = std::min<int64_t>(FWaveWidth, end);
    int64_t tick = std::max<int64_t>(first, 0);
    tick += (ColumnsPerSecond - 1 - tick % ColumnsPerSecond) % ColumnsPerSecond;   // the next column i with (i + 1) % 5 == 0
    for (; tick < tickEnd; tick += ColumnsPerSecond) {
        canvas.MoveTo(int(tick), kTickTopRow);
        canvas.LineTo(int(tick), kTickEndRow);
    }

    // A number every five seconds where it fits, its left edge on its tick. Numbers that
    // start left of the first column may still reach into it.
    const RulerNumbers& numbers = Numbers(canvas.Font());
    constexpr int64_t perLabel = RulerNumbers::kColumnsPerLabel;
    const int64_t labelEnd = std::min<int64_t>(FWaveWidth, end);
    for (int64_t label = std::max<int64_t>(1, (first - numbers.WidestNumber()) / perLabel);
         label * perLabel - 1 < labelEnd; ++label) {
        const int64_t column = label * perLabel - 1;
        // The number is written on the stack: the canvas finds it again by its characters.
        char text[24];
        const int digits = int(std::to_chars(text, text + sizeof text, label * perLabel / ColumnsPerSecond).ptr - text);
        if (!numbers.Shows(label, digits) || column + numbers.Width(digits + 1) < first)
            continue;
        canvas.TextOut(int(column), 0, QLatin1String(text, digits));
    }
}

void TWaveRender::DrawColumns(TCanvas& canvas, int64_t first, int64_t end)
{
    const int32_t half = (FStripHeight - kRulerAndMarkerRows) / 2;
    const int32_t markerTop = FStripHeight - kMarkerRows;
    canvas.BeginUpdate();
    canvas.SetPenMode(TPenMode::Copy);

    // The columns drawn that have bars, and the wave's area: their rows from below the ruler's
    // texts down to the markers. Nothing is drawn there before the bars (the ruler ends above
    // it, the markers start below it), so the area is filled together with the bars, each
    // of its pixels written once; elsewhere the background and the band are filled first.
    const int64_t barsFirst = std::max<int64_t>(first, 0);
    const int64_t barsEnd = std::min(std::min<int64_t>(FStripWidth, int64_t(FWave.size())), end);
    const int32_t waveTop = std::min(std::max(kBandTopRow, int32_t(canvas.TextCellHeight())), markerTop);
    const bool hasArea = barsFirst < barsEnd && waveTop < markerTop;
    const int areaLeft = hasArea ? int(barsFirst) : 0, areaRight = hasArea ? int(barsEnd) : 0;
    const bool hasBand = FBeginPos < FEndPos;

    // Background; the canvas keeps only what lies on its bitmap, so the parts drawn whole
    // here cost only the columns they cover there. The band is opaque, so the background
    // is left out where it will be.
    canvas.SetBrushColor(FBackColor);
    const auto fillBesideBand = [&](int left, int right, int top, int bottom) {
        if (!hasBand) {
            canvas.FillRect(left, top, right, bottom);
            return;
        }
        canvas.FillRect(left, top, std::min(right, FBeginPos), bottom);
        canvas.FillRect(std::max(left, FEndPos), top, right, bottom);
    };
    canvas.FillRect(0, 0, FStripWidth, kBandTopRow);
    canvas.FillRect(0, markerTop, FStripWidth, FStripHeight);
    fillBesideBand(0, FStripWidth, kBandTopRow, waveTop);
    fillBesideBand(0, areaLeft, waveTop, markerTop);
    fillBesideBand(areaRight, FStripWidth, waveTop, markerTop);

    // Ruler: line, label, a tick every second and a number every five seconds.
    DrawRuler(canvas, first, end);

    // Selection band, outside the wave's area.
    canvas.SetBrushColor(FSelColor);
    canvas.FillRect(FBeginPos, kBandTopRow, FEndPos, waveTop);
    canvas.FillRect(FBeginPos, waveTop, std::min(FEndPos, areaLeft), markerTop);
    canvas.FillRect(std::max(FBeginPos, areaRight), waveTop, FEndPos, markerTop);

    // Begin marker: a right triangle left of the begin column.
    const QPoint begin[] = {
        {FBeginPos, markerTop}, {Pin(int64_t(FBeginPos) - kMarkerRows), FStripHeight}, {FBeginPos, FStripHeight}};
    canvas.SetBrushColor(FBeginColor);
    canvas.SetPenColor(FBeginColor);
    canvas.Polygon(begin, 3);
    // End marker: its mirror image, right of the end column.
    const QPoint end_[] = {
        {FEndPos, markerTop}, {Pin(int64_t(FEndPos) + kMarkerRows), FStripHeight}, {FEndPos, FStripHeight}};
    canvas.SetBrushColor(FEndColor);
    canvas.SetPenColor(FEndColor);
    canvas.Polygon(end_, 3);

    // Wave: selected bars in XOR over the band, the others copied over the background.
    // Each bar is a line from half - height to half + height below the band's top. The
    // columns are drawn in stretches that share the pen's mode (in the selection or not)
    // and the wave area's fill (band or background).
    canvas.SetPenColor(FWaveColor);
    const int64_t selFirst = SelLeft(), selEnd = int64_t(SelRight()) + 1;
    int64_t cuts[] = {barsFirst, barsEnd, selFirst, selEnd, hasBand ? FBeginPos : barsFirst, hasBand ? FEndPos : barsFirst};
    for (int64_t& cut : cuts)
        cut = std::clamp(cut, barsFirst, std::max(barsFirst, barsEnd));
    std::sort(std::begin(cuts), std::end(cuts));
    for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
        const int64_t from = cuts[i], to = cuts[i + 1];
        if (from >= to)
            continue;
        const bool selected = from >= selFirst && from < selEnd;
        const bool onBand = hasBand && from >= FBeginPos && from < FEndPos;
        canvas.SetPenMode(selected ? TPenMode::Xor : TPenMode::Copy);
        canvas.SetBrushColor(onBand ? FSelColor : FBackColor);
        canvas.FillWithVerticalBars(from, FWave.data() + from, int(to - from), half + kBandTopRow, waveTop, markerTop);
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
    Changed();
}

void TWaveRender::SetBeginPos(int32_t column)
{
    FBeginPos = column;
    Changed();
}

void TWaveRender::SetEndPos(int32_t column)
{
    FEndPos = column;
    Changed();
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
