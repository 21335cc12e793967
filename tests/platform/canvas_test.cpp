// The canvas's drawing rules, pixel by pixel.
#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <vector>

#include "platform/Canvas.h"
#include "support/ReferenceCanvas.h"

namespace {

constexpr QRgb kBack = 0xFF102030;

struct Surface {
    Surface() : image(20, 20, QImage::Format_RGB32), canvas(&image) { image.fill(kBack); }
    QRgb At(int x, int y) const { return image.pixel(x, y); }
    int Count(QRgb colour) const
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += At(x, y) == colour;
        return n;
    }
    QImage image;
    TCanvas canvas;
};

}  // namespace

TEST(Canvas, ColoursAreBlueGreenRed)
{
    EXPECT_EQ(ToQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(0xF0CAA6), QColor(166, 202, 240));
    EXPECT_EQ(ToPixel(0x00FFFF), 0xFFFFFF00u);
}

TEST(Canvas, LinesLeaveOutTheirEndPoint)
{
    struct Case {
        QPoint from, to;
        int pixels;
        QPoint first, lastDrawn, end;
    };
    const Case cases[] = {
        {{2, 5}, {6, 5}, 4, {2, 5}, {5, 5}, {6, 5}},     // right
        {{6, 5}, {2, 5}, 4, {6, 5}, {3, 5}, {2, 5}},     // left
        {{3, 1}, {3, 9}, 8, {3, 1}, {3, 8}, {3, 9}},     // down
        {{3, 9}, {3, 1}, 8, {3, 9}, {3, 2}, {3, 1}},     // up
        {{1, 1}, {5, 5}, 4, {1, 1}, {4, 4}, {5, 5}},     // diagonal
    };
    for (const Case& c : cases) {
        Surface s;
        s.canvas.SetPenColor(0x0000FF);
        s.canvas.MoveTo(c.from.x(), c.from.y());
        s.canvas.LineTo(c.to.x(), c.to.y());
        EXPECT_EQ(s.Count(0xFFFF0000), c.pixels);
        EXPECT_EQ(s.At(c.first.x(), c.first.y()), 0xFFFF0000u);
        EXPECT_EQ(s.At(c.lastDrawn.x(), c.lastDrawn.y()), 0xFFFF0000u);
        EXPECT_EQ(s.At(c.end.x(), c.end.y()), kBack);
        EXPECT_EQ(s.canvas.PenPos(), c.to);
    }
    Surface s;
    s.canvas.MoveTo(4, 4);
    s.canvas.LineTo(4, 4);
    EXPECT_EQ(s.Count(kBack), 400) << "a line to its own start draws nothing";
}

TEST(Canvas, FillLeavesOutRightAndBottomEdges)
{
    Surface s;
    s.canvas.SetBrushColor(0x808080);
    s.canvas.FillRect(2, 3, 5, 7);
    EXPECT_EQ(s.Count(0xFF808080), 3 * 4);
    EXPECT_EQ(s.At(4, 6), 0xFF808080u);
    EXPECT_EQ(s.At(5, 6), kBack);
    EXPECT_EQ(s.At(4, 7), kBack);
    s.canvas.FillRect(8, 3, 6, 7);   // right of left: nothing
    s.canvas.FillRect(-5, -5, 1, 1);  // cut at the edges
    EXPECT_EQ(s.Count(0xFF808080), 12 + 1);
}

TEST(Canvas, XorCombinesWithThePixelsBeneath)
{
    Surface s;
    s.canvas.SetBrushColor(0x808080);
    s.canvas.FillRect(0, 0, 20, 10);
    s.canvas.SetPenColor(0x008000);
    s.canvas.SetPenMode(TPenMode::Xor);
    s.canvas.MoveTo(3, 0);
    s.canvas.LineTo(3, 15);
    EXPECT_EQ(s.At(3, 5), 0xFF800080u) << "green over grey shows purple";
    EXPECT_EQ(s.At(3, 12), qRgb(0x10, 0x20 ^ 0x80, 0x30)) << "over the background";
    s.canvas.MoveTo(3, 0);
    s.canvas.LineTo(3, 15);
    EXPECT_EQ(s.At(3, 5), 0xFF808080u) << "a second XOR restores";
}

TEST(Canvas, PolygonFilledAndOutlined)
{
    Surface s;
    s.canvas.SetBrushColor(0x00FFFF);
    s.canvas.SetPenColor(0x00FFFF);
    const QPoint triangle[] = {{10, 4}, {2, 12}, {10, 12}};
    s.canvas.Polygon(triangle, 3);
    // A right triangle with 8-pixel legs: rows 4..12, row r covering columns 14 - r .. 10.
    for (int y = 4; y <= 12; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(s.At(x, y) == 0xFFFFFF00u, x >= 14 - y && x <= 10) << x << "," << y;
    EXPECT_EQ(s.Count(0xFFFFFF00u), 45);
}

TEST(Canvas, TextOnTransparentBackgroundAndChangeNotices)
{
    Surface s;
    int changes = 0;
    s.canvas.OnChange = [&] { ++changes; };
    s.canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
    s.canvas.TextOut(1, 1, "8");
    EXPECT_GT(s.Count(0xFFFFFFFF), 5);
    EXPECT_EQ(s.Count(0xFFFFFFFF) + s.Count(kBack), 400) << "only text pixels change, no anti-aliasing";
    EXPECT_EQ(changes, 1);
    s.canvas.BeginUpdate();
    s.canvas.FillRect(0, 0, 2, 2);
    s.canvas.MoveTo(0, 0);
    s.canvas.LineTo(5, 0);
    EXPECT_EQ(changes, 1);
    s.canvas.EndUpdate();
    EXPECT_EQ(changes, 2);
}

TEST(Canvas, NoBitmapDrawsNothing)
{
    TCanvas canvas(nullptr);
    canvas.FillRect(0, 0, 10, 10);
    canvas.LineTo(5, 5);
    const QPoint triangle[] = {{0, 0}, {5, 5}, {0, 5}};
    canvas.Polygon(triangle, 3);
    canvas.TextOut(0, 0, "x");
    EXPECT_EQ(canvas.PenPos(), QPoint(5, 5));
}

TEST(Canvas, TextCutAtTheBitmapsEdges)
{
    // The same text drawn whole, and shifted so that it hangs over each edge: the part on
    // the bitmap matches, and nothing is written outside it.
    Surface whole;
    whole.canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
    whole.canvas.TextOut(5, 5, "88");
    for (const QPoint shift : {QPoint(-7, 0), QPoint(0, -8), QPoint(12, 0), QPoint(0, 12)}) {
        Surface cut;
        cut.canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
        cut.canvas.TextOut(5 + shift.x(), 5 + shift.y(), "88");
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                const QPoint from(x - shift.x(), y - shift.y());
                if (QRect(0, 0, 20, 20).contains(from)) {
                    EXPECT_EQ(cut.At(x, y), whole.At(from.x(), from.y())) << x << "," << y;
                }
            }
        }
    }
}

TEST(Canvas, OriginMovesEveryPixelByWholeColumns)
{
    // The same drawing on a wide bitmap and, through an origin, on a narrow one that shows
    // a stretch of it: each pixel of the stretch is the wide bitmap's pixel at that column.
    const auto draw = [](TCanvas& canvas, int at) {
        canvas.SetBrushColor(0x00FF00);
        canvas.FillRect(at + 2, 1, at + 15, 9);
        canvas.SetPenColor(0x0000FF);
        canvas.MoveTo(at + 1, 0);
        canvas.LineTo(at + 18, 17);   // slanted
        canvas.MoveTo(at + 9, 2);
        canvas.LineTo(at + 9, 19);    // vertical
        canvas.SetPenMode(TPenMode::Xor);
        canvas.MoveTo(at + 4, 5);
        canvas.LineTo(at + 4, 14);
        canvas.SetPenMode(TPenMode::Copy);
        const QPoint triangle[] = {{at + 11, 12}, {at + 19, 19}, {at + 11, 19}};
        canvas.SetBrushColor(0x00FFFF);
        canvas.Polygon(triangle, 3);
        canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
        canvas.TextOut(at + 3, 6, "88");
    };
    Surface wide;
    draw(wide.canvas, 0);
    struct Case {
        int origin;   // the wide bitmap's column shown at the narrow one's left edge
        int width;
    };
    for (const Case c : {Case{0, 20}, Case{5, 7}, Case{-3, 10}, Case{13, 7}, Case{19, 1}}) {
        SCOPED_TRACE(c.origin);
        // The drawing is placed far out, so that the shapes are worked out at large columns.
        for (const int at : {0, 2000000000, -2000000000}) {
            QImage narrow(c.width, 20, QImage::Format_RGB32);
            narrow.fill(kBack);
            TCanvas canvas(&narrow);
            canvas.SetOriginColumn(at + c.origin);
            draw(canvas, at);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < c.width; ++x) {
                    const int column = c.origin + x;
                    const QRgb expected = column >= 0 && column < 20 ? wide.At(column, y) : kBack;
                    ASSERT_EQ(narrow.pixel(x, y), expected) << at << ": " << x << "," << y;
                }
        }
    }
}

TEST(Canvas, RenderedTextsKeptAreBounded)
{
    // A long strip scrolled end to end writes thousands of different numbers.
    Surface s;
    s.canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
    for (int n = 0; n < 3000; ++n)
        s.canvas.TextOut(0, 0, QString::number(n));
    EXPECT_GT(s.canvas.CachedTexts(), 0);
    EXPECT_LE(s.canvas.CachedTexts(), 256);
    // A text drawn after the cache was emptied still comes out the same.
    Surface fresh;
    fresh.canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
    fresh.canvas.TextOut(3, 3, "2999");
    s.image.fill(kBack);
    s.canvas.TextOut(3, 3, "2999");
    EXPECT_EQ(s.image, fresh.image);
}

TEST(Canvas, LinesAndFillsAsWrittenPixelByPixel)
{
    // Random lines in both pen modes (slanted, and the straight ones that are written as
    // runs) and fills, through random origins, against the same shapes written pixel by pixel.
    std::mt19937 random(7);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 200; ++round) {
        const int origin = between(-30, 30), width = between(1, 40);
        QImage fast(width, 24, QImage::Format_RGB32), slow(width, 24, QImage::Format_RGB32);
        fast.fill(kBack);
        slow.fill(kBack);
        TCanvas canvas(&fast);
        canvas.SetOriginColumn(origin);
        ReferenceCanvas reference(slow, origin);
        for (int shape = 0; shape < 12; ++shape) {
            const TColor color = TColor(between(0, 0xFFFFFF));
            const TPenMode mode = between(0, 1) ? TPenMode::Xor : TPenMode::Copy;
            const QPoint from(between(-40, 40), between(-5, 28));
            QPoint to(between(-40, 40), between(-5, 28));
            const int straight = between(0, 2);
            if (straight == 1)
                to.setY(from.y());
            else if (straight == 2)
                to.setX(from.x());
            if (between(0, 3) == 0) {
                canvas.SetBrushColor(color);
                canvas.FillRect(from.x(), from.y(), to.x(), to.y());
                reference.FillRect(from.x(), from.y(), to.x(), to.y(), color);
            } else {
                canvas.SetPenColor(color);
                canvas.SetPenMode(mode);
                canvas.MoveTo(from.x(), from.y());
                canvas.LineTo(to.x(), to.y());
                reference.Line(from, to, color, mode);
            }
        }
        ASSERT_EQ(fast, slow) << "round " << round;
    }
}

TEST(Canvas, VerticalBarsAsTheirLines)
{
    // Bars of any height (zero, negative: drawn upward, past the bitmap) in both pen modes,
    // through random origins: the same pixels as MoveTo and LineTo for each column.
    std::mt19937 random(11);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 300; ++round) {
        const int origin = between(-20, 20), width = between(1, 30), first = between(-30, 30);
        std::vector<std::int32_t> heights(std::size_t(between(1, 40)));
        for (std::int32_t& h : heights)
            h = between(-15, 15);
        const int centre = between(-5, 25);
        const TColor color = TColor(between(0, 0xFFFFFF));
        const TPenMode mode = between(0, 1) ? TPenMode::Xor : TPenMode::Copy;
        QImage bars(width, 20, QImage::Format_RGB32), lines(width, 20, QImage::Format_RGB32);
        for (QImage* image : {&bars, &lines})
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < width; ++x)
                    image->setPixel(x, y, 0xFF000000u | std::uint32_t(x * 0x0811 + y * 0x1C0300));
        TCanvas barCanvas(&bars), lineCanvas(&lines);
        for (TCanvas* canvas : {&barCanvas, &lineCanvas}) {
            canvas->SetOriginColumn(origin);
            canvas->SetPenColor(color);
            canvas->SetPenMode(mode);
            canvas->MoveTo(3, 4);
        }
        barCanvas.VerticalBars(first, heights.data(), int(heights.size()), centre);
        EXPECT_EQ(barCanvas.PenPos(), QPoint(3, 4)) << "the pen stays where it was";
        for (std::size_t i = 0; i < heights.size(); ++i) {
            lineCanvas.MoveTo(first + int(i), centre - heights[i]);
            lineCanvas.LineTo(first + int(i), centre + heights[i]);
        }
        ASSERT_EQ(bars, lines) << "round " << round;
    }
}

TEST(Canvas, LatinTextAsTheSameText)
{
    // A number drawn from its Latin-1 characters comes out as the same text drawn from a
    // QString, whichever of the two was drawn (and kept) first.
    for (const bool latinFirst : {false, true}) {
        Surface latin, text;
        for (Surface* s : {&latin, &text})
            s->canvas.SetFont(QFont("DejaVu Sans", 8), 0xFFFFFF);
        if (latinFirst)
            latin.canvas.TextOut(2, 3, QLatin1String("(S)"));
        latin.canvas.TextOut(-3, 4, QLatin1String("1234"));
        latin.canvas.TextOut(2, 3, QLatin1String("(S)"));
        text.canvas.TextOut(-3, 4, QStringLiteral("1234"));
        text.canvas.TextOut(2, 3, QStringLiteral("(S)"));
        EXPECT_GT(latin.Count(0xFFFFFFFF), 10);
        EXPECT_EQ(latin.image, text.image) << latinFirst;
    }
}

TEST(Canvas, BarsOnAFillAsTheFillAndThenTheBars)
{
    // One pass over the fill's pixels gives what the fill and then the bars give, for
    // fills that cover the bars wholly, partly or not at all, in both pen modes.
    std::mt19937 random(13);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 300; ++round) {
        const int origin = between(-20, 20), width = between(1, 30), first = between(-30, 30);
        std::vector<std::int32_t> heights(std::size_t(between(1, 40)));
        for (std::int32_t& h : heights)
            h = between(0, 4) == 0 ? between(-12, 0) : between(0, 12);
        const int centre = between(-5, 25), fillTop = between(-5, 25), fillBottom = between(-5, 25);
        QImage once(width, 20, QImage::Format_RGB32), twice(width, 20, QImage::Format_RGB32);
        for (QImage* image : {&once, &twice})
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < width; ++x)
                    image->setPixel(x, y, 0xFF000000u | std::uint32_t(x * 0x0811 + y * 0x1C0300));
        const TColor brush = between(0, 1) ? 0x808080 : 0x000000;
        const TPenMode mode = between(0, 1) ? TPenMode::Xor : TPenMode::Copy;
        TCanvas onceCanvas(&once), twiceCanvas(&twice);
        for (TCanvas* canvas : {&onceCanvas, &twiceCanvas}) {
            canvas->SetOriginColumn(origin);
            canvas->SetPenColor(0x008000);
            canvas->SetBrushColor(brush);
            canvas->SetPenMode(mode);
        }
        onceCanvas.FillWithVerticalBars(first, heights.data(), int(heights.size()), centre, fillTop, fillBottom);
        twiceCanvas.FillRect(first, fillTop, first + int(heights.size()), fillBottom);
        twiceCanvas.VerticalBars(first, heights.data(), int(heights.size()), centre);
        ASSERT_EQ(once, twice) << "round " << round;
    }
}
