// The renderer's fast drawing against the strip drawn pixel by pixel as before, on many
// random strips: every pixel of every stretch must be the same.
#include <gtest/gtest.h>

#include <QImage>
#include <limits>
#include <random>

#include "platform/Canvas.h"
#include "strip/WaveRender.h"
#include "support/ReferenceStrip.h"

namespace {

constexpr QRgb kUndrawn = 0xFF123456;
constexpr int kMargin = 40;   // columns beside the strip that markers and the cursor may reach

struct Model {
    int width = 0, height = 152;
    bool waveWidthSet = true;
    bool handedInHeights = false;
    std::vector<int32_t> heights;
    int32_t begin = 0, end = 0, cursor = 0;
    int first = 0, count = 1;
};

Model RandomModel(std::mt19937& random)
{
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    Model m;
    const int heights[] = {152, 152, 152, 200, 40, 30, 24, 16};
    m.height = heights[between(0, 7)];
    m.width = between(0, 9) == 0 ? between(5000, 12000) : between(0, 1500);
    m.waveWidthSet = between(0, 9) != 0;
    m.handedInHeights = between(0, 2) == 0;
    if (m.handedInHeights) {
        // Any heights: none, fewer or more than the columns, zero, negative, past the band.
        m.heights.resize(std::size_t(between(0, m.width + 10)));
        const int half = (m.height - 24) / 2;
        for (int32_t& h : m.heights)
            h = between(0, 9) == 0 ? between(-10, 0) : between(0, half + 30);
    }
    const auto column = [&] {
        const int pick = between(0, 39);
        if (pick == 0)
            return std::numeric_limits<int32_t>::min();
        if (pick == 1)
            return std::numeric_limits<int32_t>::max();
        return between(-30, m.width + 30);
    };
    m.begin = column();
    m.end = column();
    m.cursor = column();
    m.count = between(1, std::min(400, m.width + 2 * kMargin));
    m.first = between(-kMargin, m.width + kMargin - m.count);
    return m;
}

// Draws the model's stretch through PaintColumns and compares it with the reference strip.
void ExpectAsReference(const Model& m)
{
    SCOPED_TRACE(testing::Message() << "width " << m.width << ", height " << m.height << ", heights "
                                    << (m.handedInHeights ? int(m.heights.size()) : -1) << ", markers " << m.begin
                                    << ".." << m.end << ", cursor " << m.cursor << ", columns " << m.first << " + "
                                    << m.count);
    TWaveRender render(nullptr, m.width, m.height);
    if (m.waveWidthSet)
        render.SetWaveWidth(m.width);
    if (m.handedInHeights)
        render.SetWaveHeights(m.heights);
    render.SetBeginPos(m.begin);
    render.SetEndPos(m.end);
    render.SetCursorPos(m.cursor);

    QImage stretch(m.count, m.height, QImage::Format_RGB32);
    stretch.fill(kUndrawn);
    TCanvas canvas(&stretch);
    render.PaintColumns(canvas, m.first, m.count);

    // The reference covers the stretch and a margin on both sides.
    QImage reference(m.count + 2 * kMargin, m.height, QImage::Format_RGB32);
    reference.fill(kUndrawn);
    DrawReferenceStrip(render, canvas.Font(), reference, int64_t(m.first) - kMargin);

    int differences = 0;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.count; ++x)
            if (stretch.pixel(x, y) != reference.pixel(x + kMargin, y) && ++differences <= 5)
                ADD_FAILURE() << "column " << m.first + x << ", row " << y << ": " << std::hex << stretch.pixel(x, y)
                              << " instead of " << reference.pixel(x + kMargin, y);
    EXPECT_EQ(differences, 0);
}

}  // namespace

TEST(WaveRenderReference, RandomStripsComeOutPixelForPixel)
{
    std::mt19937 random(20240611);
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        ExpectAsReference(RandomModel(random));
        if (HasFailure())
            break;
    }
}

TEST(WaveRenderReference, ViewportsOfATenHourStrip)
{
    // The window's case: five-digit numbers, the band and its XOR bars in view, at the
    // start, in the middle and at the end of the strip.
    constexpr int kTenHours = 10 * 3600 * TWaveRender::ColumnsPerSecond;
    for (const int first : {0, kTenHours / 2 - 13, kTenHours - 370}) {
        Model m;
        m.width = kTenHours;
        m.begin = first + 100;
        m.end = first + 250;
        m.cursor = first + 180;
        m.first = first;
        m.count = 370;
        ExpectAsReference(m);
    }
}
