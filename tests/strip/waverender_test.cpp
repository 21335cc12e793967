// The strip renderer, checked pixel by pixel on a bitmap of the strip's designed height.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <limits>

#include "platform/Canvas.h"
#include "strip/StripRandom.h"
#include "strip/WaveRender.h"

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kPurple = 0xFF800080;   // green XOR grey
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kSkyBlue = 0xFFA6CAF0;
constexpr int kHeight = 152;

// A strip on its own bitmap with a fresh generator, as in a new process.
class Strip {
public:
    explicit Strip(int width, int height = kHeight)
        : bitmap(std::max(width, 1) + 20, height, QImage::Format_RGB32), canvas(&bitmap), render(&canvas, width, height)
    {
        bitmap.fill(0xFF123456);
        ResetStripRandomForTesting();
        canvas.OnChange = [this] { ++changes; };
    }
    QRgb At(int x, int y) const { return bitmap.pixel(x, y) | 0xFF000000; }
    bool ColumnHas(int x, int top, int bottom, QRgb colour) const
    {
        for (int y = top; y < bottom; ++y)
            if (At(x, y) == colour)
                return true;
        return false;
    }

    QImage bitmap;
    TCanvas canvas;
    TWaveRender render;
    int changes = 0;
};

}  // namespace

TEST(WaveRender, FreshGeneratorGivesTheKnownWave)
{
    Strip strip(5);
    strip.render.SetWaveWidth(5);
    EXPECT_EQ(strip.render.Wave(), (std::vector<int32_t>{40, 30, 37, 31, 26}));
    // The next width goes on with the same sequence, so its wave differs.
    strip.render.SetWaveWidth(5);
    EXPECT_NE(strip.render.Wave(), (std::vector<int32_t>{40, 30, 37, 31, 26}));
}

TEST(WaveRender, RandomDrawsFollowTheGeneratorRule)
{
    ResetStripRandomForTesting();
    const int32_t draws[] = {StripRandom(20), StripRandom(20), StripRandom(20), StripRandom(20), StripRandom(20)};
    EXPECT_EQ(std::vector<int32_t>(std::begin(draws), std::end(draws)), (std::vector<int32_t>{0, 0, 17, 4, 5}));
}

TEST(WaveRender, HeightsStayInsideTheBand)
{
    Strip strip(18000);
    strip.render.SetWaveWidth(18000);
    for (int32_t height : strip.render.Wave()) {
        ASSERT_GE(height, 10);
        ASSERT_LE(height, 53);
    }
}

TEST(WaveRender, BandBarsMarkersAndCursor)
{
    Strip strip(300);
    strip.render.SetWaveWidth(300);
    const auto& wave = strip.render.Wave();
    // Defaults: band from column 100 to 149, cursor at 20.
    EXPECT_EQ(strip.At(120, 16), kGrey);
    EXPECT_EQ(strip.At(100, 143), kGrey);
    EXPECT_EQ(strip.At(149, 143), kGrey);
    EXPECT_EQ(strip.At(120, 144), kBlack) << "the band ends above the marker rows";
    // Bars: centred on row 80, 2 x height long; XOR over the band inside the selection.
    for (int column : {10, 60, 99, 151, 200}) {
        SCOPED_TRACE(column);
        const int h = wave[size_t(column)];
        EXPECT_EQ(strip.At(column, 80 - h), kGreen);
        EXPECT_EQ(strip.At(column, 80 + h - 1), kGreen);
        EXPECT_NE(strip.At(column, 80 + h), kGreen) << "the end point of a line is left out";
    }
    for (int column : {100, 125, 149}) {
        SCOPED_TRACE(column);
        const int h = wave[size_t(column)];
        EXPECT_EQ(strip.At(column, 80 - h), kPurple);
        EXPECT_EQ(strip.At(column, 80 + h - 1), kPurple);
        EXPECT_EQ(strip.At(column, 80 + h), kGrey);
    }
    // Column 150 is the end column: inside the selection (XOR) but right of the band.
    EXPECT_EQ(strip.At(150, 80), kGreen);
    // Begin triangle: left of column 100, rows 144..151; end triangle right of 150.
    EXPECT_EQ(strip.At(100, 144), kYellow);
    EXPECT_EQ(strip.At(99, 144), kBlack);
    EXPECT_EQ(strip.At(93, 151), kYellow);
    EXPECT_EQ(strip.At(92, 151), kBlack);
    EXPECT_EQ(strip.At(96, 148), kYellow);
    EXPECT_EQ(strip.At(150, 144), kRed);
    EXPECT_EQ(strip.At(151, 144), kBlack);
    EXPECT_EQ(strip.At(157, 151), kRed);
    EXPECT_EQ(strip.At(158, 151), kBlack);
    // Cursor: a line from row 0 to row 143 and a triangle at the top, columns 15..25.
    EXPECT_EQ(strip.At(20, 0), kSkyBlue);
    EXPECT_EQ(strip.At(20, 143), kSkyBlue);
    EXPECT_NE(strip.At(20, 144), kSkyBlue);
    EXPECT_EQ(strip.At(15, 0), kSkyBlue);
    EXPECT_EQ(strip.At(25, 0), kSkyBlue);
    EXPECT_EQ(strip.At(14, 0) == kSkyBlue || strip.At(26, 0) == kSkyBlue, false);
    EXPECT_EQ(strip.At(20, 8), kSkyBlue);
    EXPECT_EQ(strip.At(19, 8), strip.At(19, 9)) << "the triangle's tip is one pixel";
}

TEST(WaveRender, RulerTicksAndNumbers)
{
    struct Case {
        int width;
        bool numberFive;
    };
    for (const Case c : {Case{24, false}, Case{25, true}}) {
        SCOPED_TRACE(c.width);
        Strip strip(c.width);
        strip.render.SetCursorPos(-100);   // keep the cursor off the ruler
        strip.render.SetWaveWidth(c.width);
        for (int x = 0; x < c.width; ++x) {
            const bool tick = (x + 1) % 5 == 0;
            EXPECT_EQ(strip.At(x, 14) == kWhite, tick) << x;
            // The line runs to the last column but, like every line, leaves out its end point.
            EXPECT_EQ(strip.At(x, 15) == kWhite, x < c.width - 1 || tick) << "ruler line at " << x;
            EXPECT_NE(strip.At(x, 16), kWhite) << "ticks end at row 15";
        }
        // "(S)" at the left, and "5" with its left edge on column 24 when there are 25 columns.
        bool label = false;
        for (int x = 0; x < 12; ++x)
            label = label || strip.ColumnHas(x, 0, 10, kWhite);
        EXPECT_TRUE(label);
        bool five = false;
        for (int y = 0; y < 11; ++y)
            five = five || strip.At(24, y) == kWhite || strip.At(25, y) == kWhite || strip.At(26, y) == kWhite;
        EXPECT_EQ(five, c.numberFive);
    }
}

TEST(WaveRender, NoColumnsAndOneColumn)
{
    // Width 0: nothing is generated, and no bar, tick, number or label is drawn.
    Strip empty(0);
    empty.render.SetWaveWidth(0);
    EXPECT_TRUE(empty.render.Wave().empty());
    for (int x = 0; x < 20; ++x)
        EXPECT_FALSE(empty.ColumnHas(x, 0, 11, kWhite) || empty.ColumnHas(x, 16, 144, kGreen)) << x;

    // One column: "(S)" is drawn, the ruler line has no length, and there is no tick.
    Strip one(1);
    one.render.SetCursorPos(-100);
    one.render.SetWaveWidth(1);
    EXPECT_EQ(one.render.Wave().size(), 1u);
    EXPECT_NE(one.At(0, 15), kWhite);
    EXPECT_TRUE(one.ColumnHas(0, 0, 11, kWhite) || one.ColumnHas(1, 0, 11, kWhite));
}

TEST(WaveRender, PaintBeforeAnyWidthDrawsNoRulerAndNoBars)
{
    Strip strip(276);
    strip.render.Paint();
    EXPECT_EQ(strip.At(120, 80), kGrey);
    EXPECT_EQ(strip.At(275, 80), kBlack);
    EXPECT_EQ(strip.At(50, 15), kBlack);
    EXPECT_EQ(strip.At(20, 50), kSkyBlue);
}

TEST(WaveRender, MarkersOutsideTheStrip)
{
    // A negative begin column: the band starts at column 0, the begin triangle is off
    // the canvas, and the seconds truncate toward zero.
    Strip strip(100);
    strip.render.SetWaveWidth(100);
    strip.render.SetBeginPos(-7);
    strip.render.SetEndPos(20);
    EXPECT_EQ(strip.At(0, 143), kGrey);
    EXPECT_FALSE(strip.ColumnHas(0, 144, 152, kYellow));
    EXPECT_EQ(strip.render.BeginSecond(), -1);
    const int h0 = strip.render.Wave()[0];
    EXPECT_EQ(strip.At(0, 80 - h0), kPurple);

    // Both markers beyond the strip: no bar in XOR, the seconds still those of the columns.
    strip.render.SetBeginPos(300);
    strip.render.SetEndPos(400);
    for (int x = 0; x < 100; ++x)
        EXPECT_FALSE(strip.ColumnHas(x, 16, 144, kPurple)) << x;
    EXPECT_EQ(strip.render.BeginSecond(), 60);
    EXPECT_EQ(strip.render.EndSecond(), 80);

    // Begin equal to end: the band has no width, the one bar there stays green on black.
    strip.render.SetBeginPos(50);
    strip.render.SetEndPos(50);
    const int h = strip.render.Wave()[50];
    EXPECT_EQ(strip.At(50, 80 - h), kGreen);
    EXPECT_FALSE(strip.ColumnHas(50, 16, 144, kGrey));

    // The cursor at column 0: its triangle is cut at the left edge.
    strip.render.SetCursorPos(0);
    EXPECT_EQ(strip.At(0, 0), kSkyBlue);
    EXPECT_EQ(strip.At(5, 0), kSkyBlue);
    EXPECT_NE(strip.At(6, 0), kSkyBlue);
}

TEST(WaveRender, SecondsTruncateTowardZero)
{
    Strip strip(10);
    const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {4, 0}, {5, 1}, {9, 1}, {-1, 0}, {-4, 0}, {-5, -1}, {-9, -1}, {-10, -2}, {18004, 3600}};
    for (const auto& [column, second] : cases) {
        strip.render.SetBeginPos(column);
        strip.render.SetEndPos(column);
        strip.render.SetCursorPos(column);
        EXPECT_EQ(strip.render.BeginSecond(), second) << column;
        EXPECT_EQ(strip.render.EndSecond(), second) << column;
        EXPECT_EQ(strip.render.CursorSecond(), second) << column;
    }
}

TEST(WaveRender, SettersRepaintOnceEach)
{
    Strip strip(50);
    strip.render.SetWaveWidth(50);
    const int before = strip.changes;
    strip.render.SetCursorPos(strip.render.CursorPos());   // unchanged value still repaints
    strip.render.SetBeginPos(3);
    strip.render.SetEndPos(8);
    EXPECT_EQ(strip.changes, before + 3);
    EXPECT_EQ(strip.render.SelLeft(), 3);
    EXPECT_EQ(strip.render.SelRight(), 8);
    strip.render.SetBeginPos(9);
    EXPECT_EQ(strip.render.SelLeft(), 8);
    EXPECT_EQ(strip.render.SelRight(), 9);
}

TEST(WaveRender, ColumnsAtTheEndsOfTheRangeDrawOffTheCanvas)
{
    Strip strip(30);
    strip.render.SetWaveWidth(30);
    const int32_t extremes[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    for (int32_t column : extremes) {
        strip.render.SetBeginPos(column);
        strip.render.SetEndPos(column);
        strip.render.SetCursorPos(column);
        EXPECT_FALSE(strip.ColumnHas(10, 0, kHeight, kSkyBlue));
        EXPECT_FALSE(strip.ColumnHas(10, 144, kHeight, kYellow));
    }
}

namespace {

struct StretchCase {
    int width;           // the strip's columns
    int first, count;    // the stretch drawn
    int begin, end, cursor;
};

// Draws the stretch on its own bitmap (filled with another colour than the whole strip's,
// so that a pixel left undrawn shows) and compares it with the whole strip's pixels.
void ExpectStretchAsWhole(const StretchCase& c)
{
    SCOPED_TRACE(testing::Message() << "width " << c.width << ", columns " << c.first << " + " << c.count << ", markers "
                                    << c.begin << ".." << c.end << ", cursor " << c.cursor);
    QImage whole(c.width, kHeight, QImage::Format_RGB32);
    whole.fill(0xFF123456);
    TCanvas wholeCanvas(&whole);
    ResetStripRandomForTesting();
    TWaveRender render(&wholeCanvas, c.width, kHeight);
    render.SetWaveWidth(c.width);
    render.SetBeginPos(c.begin);
    render.SetEndPos(c.end);
    render.SetCursorPos(c.cursor);

    QImage stretch(c.count, kHeight, QImage::Format_RGB32);
    stretch.fill(0xFF654321);
    TCanvas stretchCanvas(&stretch);
    render.PaintColumns(stretchCanvas, c.first, c.count);
    int differences = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < c.count; ++x)
            if (stretch.pixel(x, y) != whole.pixel(c.first + x, y) && ++differences <= 5)
                ADD_FAILURE() << "column " << c.first + x << ", row " << y;
    EXPECT_EQ(differences, 0);
}

}  // namespace

TEST(WaveRender, StretchOfColumnsDrawnAsTheWholeStripDrawsThem)
{
    const StretchCase cases[] = {
        {300, 0, 300, 100, 150, 20},            // the whole strip
        {300, 95, 60, 100, 150, 20},            // band and both triangles inside
        {300, 97, 10, 100, 150, 20},            // begin triangle cut by the left edge
        {300, 16, 9, 100, 150, 20},             // cursor triangle cut on both sides
        {300, 146, 8, 100, 150, 152},           // end triangle and cursor, XOR bars at the band's end
        {300, 0, 1, -7, 20, 0},                 // one column, band from a negative begin
        {300, 299, 1, 250, 299, 299},           // the last column alone
        {6000, 4990, 370, 4000, 5100, 5005},    // numbers around 1000 s, one hanging in from the left
        {6000, 5010, 370, 5200, 5020, 5012},    // starts inside a number; markers reversed
        {6000, 5630, 370, 5700, 5990, 5999},    // the end of the strip
        {50500, 49700, 370, 49800, 50600, 50100},   // five-digit numbers, the end marker beyond the strip
        {50500, 25123, 361, 25000, 26000, 25300},   // the middle, an odd first column
    };
    for (const StretchCase& c : cases)
        ExpectStretchAsWhole(c);
}

TEST(WaveRender, RulerNumbersStayReadableOnLongStrips)
{
    // 1100 seconds with the cursor off the ruler. Each number shown must come out exactly as
    // the text alone: no other number or tick runs into it.
    constexpr int kColumns = 5500;
    Strip strip(kColumns);
    strip.render.SetCursorPos(-100);
    strip.render.SetWaveWidth(kColumns);
    const QFont font = strip.canvas.Font();
    ASSERT_GT(QFontMetrics(font).horizontalAdvance("1000"), 24) << "four digits do not fit in five seconds";
    ASSERT_LE(QFontMetrics(font).horizontalAdvance("995"), 24) << "three digits fit in five seconds";

    const auto shownAlone = [&](int second) {
        const QString text = QString::number(second);
        const int column = second * 5 - 1;
        QImage alone(QFontMetrics(font).horizontalAdvance(text), 11, QImage::Format_RGB32);
        alone.fill(kBlack);
        TCanvas canvas(&alone);
        canvas.SetFont(font, TWaveRender::RulerColor);
        canvas.TextOut(0, 0, text);
        return strip.bitmap.copy(column, 0, alone.width(), alone.height()) == alone;
    };
    // Below 1000 s every five seconds shows its number, as always.
    for (int second = 900; second < 1000; second += 5)
        EXPECT_TRUE(shownAlone(second)) << second;
    // From 1000 s on every second labelled tick does, the others stay free.
    for (int second = 1000; second < 1100; second += 5)
        EXPECT_EQ(shownAlone(second), second % 10 == 0) << second;
    // Between the numbers the ruler goes on: a tick every second.
    for (int x = 4990; x < 5100; ++x)
        EXPECT_EQ(strip.At(x, 14) == kWhite, (x + 1) % 5 == 0) << x;
}

TEST(WaveRender, WithoutCanvasChangesOnlyTellTheView)
{
    // The window's strip has no canvas: a change draws nothing and only tells the view.
    QImage untouched(40, kHeight, QImage::Format_RGB32);
    untouched.fill(0xFF123456);
    TWaveRender render(nullptr, 40, kHeight);
    int changes = 0;
    render.OnChange = [&] { ++changes; };
    render.SetWaveWidth(40);
    render.SetCursorPos(3);
    render.SetBeginPos(5);
    render.SetEndPos(9);
    render.Paint();
    EXPECT_EQ(changes, 4);
    // The model is complete all the same: a stretch draws the cursor where it was set.
    TCanvas canvas(&untouched);
    render.PaintColumns(canvas, 0, 40);
    EXPECT_EQ(untouched.pixel(3, 50), kSkyBlue);
}

TEST(WaveRender, HandedInHeightsDrawBarsOnlyWhereTheyAre)
{
    // Heights that have come in for the first columns only: those columns get their bars,
    // the later ones none yet.
    Strip strip(60);
    strip.render.SetBeginPos(200);
    strip.render.SetEndPos(200);
    strip.render.SetCursorPos(-100);
    strip.render.SetWaveWidth(60);
    strip.render.SetWaveHeights({10, 20, 30});
    EXPECT_EQ(strip.At(0, 80 - 10), kGreen);
    EXPECT_NE(strip.At(0, 80 - 11), kGreen);
    EXPECT_EQ(strip.At(2, 80 - 30), kGreen);
    EXPECT_EQ(strip.At(2, 80 + 29), kGreen);
    for (int x = 3; x < 60; ++x)
        EXPECT_FALSE(strip.ColumnHas(x, 16, 144, kGreen)) << x;
}
