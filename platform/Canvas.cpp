#include "platform/Canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// The pixel loops below are also built for AVX2, taken where the processor has it: eight
// pixels a step instead of four. The choice is made by a resolver that the loader runs
// before any other code; a ThreadSanitizer build would instrument it and crash there, so
// that build keeps the one plain version.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define TALLOWICK_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define TALLOWICK_PIXEL_LOOP
#endif

// One row of vertical bars: each pixel whose column's bar covers the row gets the pen, the
// others are written back as they were, so that the loop runs without branches and the
// compiler can do several pixels at once.
TALLOWICK_PIXEL_LOOP void WriteBarRow(std::uint32_t* __restrict row, const std::int32_t* __restrict tops, const std::int32_t* __restrict ends,
                 int columns, std::int32_t y, std::uint32_t pixel, TPenMode mode)
{
    if (mode == TPenMode::Xor) {
        const std::uint32_t bits = pixel & 0x00FFFFFFu;
        for (int i = 0; i < columns; ++i) {
            const std::uint32_t covered = 0u - std::uint32_t((y >= tops[i]) & (y < ends[i]));
            row[i] ^= bits & covered;
        }
    } else {
        for (int i = 0; i < columns; ++i) {
            const std::uint32_t covered = 0u - std::uint32_t((y >= tops[i]) & (y < ends[i]));
            row[i] = (row[i] & ~covered) | (pixel & covered);
        }
    }
}

// One row of vertical bars on a fill: each pixel becomes the covered colour where its
// column's bar covers the row, the fill's colour elsewhere; nothing is read.
TALLOWICK_PIXEL_LOOP void WriteBarRowOnFill(std::uint32_t* __restrict row, const std::int32_t* __restrict tops,
                                            const std::int32_t* __restrict ends, int columns, std::int32_t y,
                                            std::uint32_t covered, std::uint32_t fill)
{
    for (int i = 0; i < columns; ++i) {
        const std::uint32_t mask = 0u - std::uint32_t((y >= tops[i]) & (y < ends[i]));
        row[i] = (covered & mask) | (fill & ~mask);
    }
}

// The rows of each column's line, clamped to the bitmap's rows, as LineTo draws it:
// downward from the start up to the end row excluded, upward from the start down to the
// row below the end; a line of no rows gets an end above or at its top.
TALLOWICK_PIXEL_LOOP void BarRows(const std::int32_t* __restrict heights, int columns, int centreRow, int rows,
                                  std::int32_t* __restrict tops, std::int32_t* __restrict ends)
{
    for (int i = 0; i < columns; ++i) {
        const int64_t length = heights[i] < 0 ? -int64_t(heights[i]) : int64_t(heights[i]);
        const int64_t upward = heights[i] < 0 ? 1 : 0;
        tops[i] = std::int32_t(std::clamp<int64_t>(int64_t(centreRow) - length + upward, 0, rows));
        ends[i] = std::int32_t(std::clamp<int64_t>(int64_t(centreRow) + length + upward, 0, rows));
    }
}

// The smallest and the largest of some values (at least one).
struct Span {
    std::int32_t least, most;
};
TALLOWICK_PIXEL_LOOP Span LeastAndMost(const std::int32_t* __restrict values, int count)
{
    std::int32_t least = values[0], most = values[0];
    for (int i = 1; i < count; ++i) {
        least = std::min(least, values[i]);
        most = std::max(most, values[i]);
    }
    return {least, most};
}

// One row's run of pixels set to one colour.
TALLOWICK_PIXEL_LOOP void FillPixels(std::uint32_t* __restrict pixels, int count, std::uint32_t pixel)
{
    for (int i = 0; i < count; ++i)
        pixels[i] = pixel;
}

// One row's run of pixels combined with the colour's bits.
TALLOWICK_PIXEL_LOOP void XorPixels(std::uint32_t* __restrict pixels, int count, std::uint32_t bits)
{
    for (int i = 0; i < count; ++i)
        pixels[i] ^= bits;
}

}  // namespace

QColor ToQColor(TColor color)
{
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

std::uint32_t ToPixel(TColor color)
{
    return 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

TCanvas::TCanvas(QImage* bitmap)
{
    SetBitmap(bitmap);
    QFont font = font_;
    font.setStyleStrategy(QFont::NoAntialias);
    font_ = font;
}

void TCanvas::SetBitmap(QImage* bitmap)
{
    bitmap_ = bitmap;
    pixels_ = nullptr;
}

void TCanvas::SetFont(const QFont& font, TColor color)
{
    QFont aliased = font;
    aliased.setStyleStrategy(QFont::NoAntialias);
    if (aliased != font_ || color != fontColor_)
        textCache_.clear();
    if (aliased != font_)
        textCellHeight_ = 0;
    font_ = aliased;
    fontColor_ = color;
}

int TCanvas::TextCellHeight()
{
    if (textCellHeight_ == 0)
        textCellHeight_ = std::max(1, QFontMetrics(font_).height());
    return textCellHeight_;
}

bool TCanvas::Ready()
{
    if (pixels_)
        return true;
    if (!bitmap_ || bitmap_->isNull())
        return false;
    // Pixels are written as 32-bit values; any other bitmap is converted once.
    const QImage::Format format = bitmap_->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        *bitmap_ = bitmap_->convertToFormat(QImage::Format_RGB32);
    // Within a batch the pixels are looked up once: nothing else touches the bitmap then.
    pixels_ = reinterpret_cast<std::uint32_t*>(bitmap_->bits());
    stride_ = bitmap_->bytesPerLine() / 4;
    width_ = bitmap_->width();
    height_ = bitmap_->height();
    return true;
}

void TCanvas::BeginUpdate()
{
    ++updateDepth_;
}

void TCanvas::EndUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        pixels_ = nullptr;
        if (changedInUpdate_) {
            changedInUpdate_ = false;
            if (OnChange)
                OnChange();
        }
    }
}

void TCanvas::Changed()
{
    if (updateDepth_ > 0) {
        changedInUpdate_ = true;
        return;
    }
    // Outside a batch the bitmap may change between two drawings, so it is looked up anew.
    pixels_ = nullptr;
    if (OnChange)
        OnChange();
}

void TCanvas::Plot(int64_t x64, int y, TColor color, TPenMode mode)
{
    const int64_t x = x64 - originColumn_;
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    std::uint32_t* pixel = Row(y) + x;
    if (mode == TPenMode::Xor)
        *pixel ^= ToPixel(color) & 0x00FFFFFFu;
    else
        *pixel = ToPixel(color);
}

void TCanvas::VerticalRun(int64_t x64, int64_t top64, int64_t bottom64, TColor color, TPenMode mode)
{
    const int64_t x = x64 - originColumn_;
    if (x < 0 || x >= width_)
        return;
    const int top = int(std::clamp<int64_t>(top64, 0, height_));
    const int bottom = int(std::clamp<int64_t>(bottom64, 0, height_));
    if (top >= bottom)
        return;
    const std::uint32_t pixel = ToPixel(color);
    const qsizetype stride = stride_;
    std::uint32_t* p = Row(top) + x;
    if (mode == TPenMode::Xor) {
        const std::uint32_t bits = pixel & 0x00FFFFFFu;
        for (int y = top; y < bottom; ++y, p += stride)
            *p ^= bits;
    } else {
        for (int y = top; y < bottom; ++y, p += stride)
            *p = pixel;
    }
}

void TCanvas::HorizontalRun(int y, int64_t left64, int64_t right64, TColor color, TPenMode mode)
{
    if (y < 0 || y >= height_)
        return;
    const int left = int(std::clamp<int64_t>(left64 - originColumn_, 0, width_));
    const int right = int(std::clamp<int64_t>(right64 - originColumn_, 0, width_));
    if (left >= right)
        return;
    if (mode == TPenMode::Xor)
        XorPixels(Row(y) + left, right - left, ToPixel(color) & 0x00FFFFFFu);
    else
        FillPixels(Row(y) + left, right - left, ToPixel(color));
}

void TCanvas::FillRect(int left, int top, int right, int bottom)
{
    if (!Ready())
        return;
    const int x0 = int(std::clamp<int64_t>(int64_t(left) - originColumn_, 0, width_));
    const int x1 = int(std::clamp<int64_t>(int64_t(right) - originColumn_, 0, width_));
    const std::uint32_t pixel = ToPixel(brushColor_);
    if (x0 < x1)
        for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y)
            FillPixels(Row(y) + x0, x1 - x0, pixel);
    Changed();
}

void TCanvas::MoveTo(int x, int y)
{
    penPos_ = QPoint(x, y);
}

void TCanvas::Segment(QPoint from, QPoint to)
{
    if (from.x() == to.x()) {
        // A vertical line: from the start up to, not including, the end row.
        if (to.y() >= from.y())
            VerticalRun(from.x(), from.y(), to.y(), penColor_, penMode_);
        else
            VerticalRun(from.x(), int64_t(to.y()) + 1, int64_t(from.y()) + 1, penColor_, penMode_);
        return;
    }
    if (from.y() == to.y()) {
        // A horizontal line: from the start up to, not including, the end column.
        if (to.x() > from.x())
            HorizontalRun(from.y(), from.x(), to.x(), penColor_, penMode_);
        else
            HorizontalRun(from.y(), int64_t(to.x()) + 1, int64_t(from.x()) + 1, penColor_, penMode_);
        return;
    }
    // Bresenham's walk, stopping one step short of the end point.
    // Worked in 64 bits, so that points anywhere in the int range cannot overflow.
    int64_t x = from.x(), y = from.y();
    const int64_t dx = std::abs(int64_t(to.x()) - x), dy = -std::abs(int64_t(to.y()) - y);
    const int64_t sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
    int64_t error = dx + dy;
    while (x != to.x() || y != to.y()) {
        Plot(x, int(y), penColor_, penMode_);   // clipped there, as y stays in the int range
        const int64_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
}

void TCanvas::LineTo(int x, int y)
{
    const QPoint to(x, y);
    if (Ready()) {
        Segment(penPos_, to);
        Changed();
    }
    penPos_ = to;
}

void TCanvas::Polygon(const QPoint* points, int count)
{
    if (count < 2 || !Ready())
        return;
    // The inside: on each row, the pixels that lie between the crossings of the polygon's
    // edges with the row (even-odd rule); the vertices are pixel positions.
    int top = points[0].y(), bottom = points[0].y();
    int leftmost = points[0].x(), rightmost = points[0].x();
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
        leftmost = std::min(leftmost, points[i].x());
        rightmost = std::max(rightmost, points[i].x());
    }
    // A polygon wholly beside the bitmap (a marker of a stretch not shown) has no pixel on it.
    if (int64_t(rightmost) - originColumn_ < 0 || int64_t(leftmost) - originColumn_ >= width_) {
        Changed();
        return;
    }
    std::vector<double>& crossings = crossings_;
    for (int y = std::max(top, 0); y <= std::min(bottom, height_ - 1); ++y) {
        crossings.clear();
        for (int i = 0; i < count; ++i) {
            const QPoint a = points[i], b = points[(i + 1) % count];
            if ((a.y() <= y) == (b.y() <= y))
                continue;
            crossings.push_back(a.x() + (double(y) - a.y()) * (double(b.x()) - a.x()) / (double(b.y()) - a.y()));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
            HorizontalRun(y, int64_t(std::ceil(crossings[i])), int64_t(std::floor(crossings[i + 1])) + 1, brushColor_,
                          TPenMode::Copy);
    }
    // The outline, closed: every vertex is drawn, as each edge starts where the last ended.
    for (int i = 0; i < count; ++i)
        Segment(points[i], points[(i + 1) % count]);
    Changed();
}

void TCanvas::VerticalBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow)
{
    DrawBars(firstColumn, heights, count, centreRow, 0, 0);
}

void TCanvas::FillWithVerticalBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow,
                                   int fillTop, int fillBottom)
{
    DrawBars(firstColumn, heights, count, centreRow, fillTop, fillBottom);
}

void TCanvas::DrawBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow, int fillTop,
                       int fillBottom)
{
    if (count <= 0 || !Ready())
        return;
    // The columns that lie on the bitmap, as the bitmap's columns.
    const int64_t shifted = firstColumn - originColumn_;
    const int left = int(std::clamp<int64_t>(shifted, 0, width_));
    const int right = int(std::clamp<int64_t>(shifted + count, 0, width_));
    if (left < right) {
        const int columns = right - left;
        const std::int32_t* height = heights + (left - shifted);
        barTops_.resize(std::size_t(columns));
        barEnds_.resize(std::size_t(columns));
        BarRows(height, columns, centreRow, height_, barTops_.data(), barEnds_.data());
        // The rows that some line covers, and those that every line covers (around the
        // middle of a wave), which are written as whole runs. A line with no rows has its
        // end above its top, so it widens neither and narrows the second to nothing.
        const auto [top, coveredTop] = LeastAndMost(barTops_.data(), columns);
        const auto [coveredEnd, bottom] = LeastAndMost(barEnds_.data(), columns);
        const std::int32_t* tops = barTops_.data();
        const std::int32_t* ends = barEnds_.data();
        const std::uint32_t pen = ToPixel(penColor_);
        const std::uint32_t brush = ToPixel(brushColor_);
        // What a pixel that a line covers becomes on the brush's fill.
        const std::uint32_t penOnBrush = penMode_ == TPenMode::Xor ? brush ^ (pen & 0x00FFFFFFu) : pen;
        fillTop = std::clamp(fillTop, 0, height_);
        fillBottom = std::clamp(fillBottom, fillTop, height_);
        // Row by row, along the bitmap's rows.
        for (int y = std::min(top, fillTop); y < std::max(bottom, fillBottom); ++y) {
            std::uint32_t* row = Row(y) + left;
            const bool everyLine = y >= coveredTop && y < coveredEnd;
            const bool someLine = y >= top && y < bottom;
            if (y >= fillTop && y < fillBottom) {
                if (everyLine)
                    FillPixels(row, columns, penOnBrush);
                else if (someLine)
                    WriteBarRowOnFill(row, tops, ends, columns, y, penOnBrush, brush);
                else
                    FillPixels(row, columns, brush);
            } else if (someLine) {
                if (everyLine && penMode_ == TPenMode::Xor)
                    XorPixels(row, columns, pen & 0x00FFFFFFu);
                else if (everyLine)
                    FillPixels(row, columns, pen);
                else
                    WriteBarRow(row, tops, ends, columns, y, pen, penMode_);
            }
        }
    }
    Changed();
}

const TCanvas::RenderedText& TCanvas::Rendered(const std::u16string& key)
{
    const auto found = textCache_.find(key);
    if (found != textCache_.end())
        return found->second;
    if (textCache_.size() >= kMaxCachedTexts)
        textCache_.clear();
    const QString text = QString::fromUtf16(key.data(), qsizetype(key.size()));
    const QFontMetrics metrics(font_);
    QImage glyphs(std::max(1, metrics.horizontalAdvance(text)), TextCellHeight(), QImage::Format_ARGB32);
    glyphs.fill(Qt::transparent);
    QPainter painter(&glyphs);
    painter.setFont(font_);
    painter.setPen(ToQColor(fontColor_));
    painter.drawText(glyphs.rect(), Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    // The pixels the text writes: those of its cell that came out at least half opaque.
    RenderedText rendered;
    for (int gy = 0; gy < glyphs.height(); ++gy) {
        const auto* source = reinterpret_cast<const std::uint32_t*>(glyphs.constScanLine(gy));
        for (int gx = 0; gx < glyphs.width();) {
            if (qAlpha(source[gx]) < 128) {
                ++gx;
                continue;
            }
            const int runLeft = gx;
            while (gx < glyphs.width() && qAlpha(source[gx]) >= 128)
                ++gx;
            rendered.runs.push_back({gy, runLeft, gx});
        }
    }
    return textCache_.emplace(key, std::move(rendered)).first->second;
}

void TCanvas::DrawRendered(int x, int y, const RenderedText& text)
{
    // Only the part of the text that lies on the bitmap is written.
    const int64_t left = int64_t(x) - originColumn_;
    const std::uint32_t pixel = ToPixel(fontColor_);
    for (const RenderedText::Run& run : text.runs) {
        const int64_t row = int64_t(y) + run.row;
        if (row < 0 || row >= height_)
            continue;
        const int64_t runLeft = std::max<int64_t>(left + run.left, 0);
        const int64_t runRight = std::min<int64_t>(left + run.right, width_);
        // Runs of a few pixels: written here rather than through a call.
        std::uint32_t* target = Row(int(row));
        for (int64_t x = runLeft; x < runRight; ++x)
            target[x] = pixel;
    }
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    if (text.isEmpty() || !Ready())
        return;
    keyScratch_.assign(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size()));
    DrawRendered(x, y, Rendered(keyScratch_));
    Changed();
}

void TCanvas::TextOut(int x, int y, QLatin1String text)
{
    if (text.isEmpty() || !Ready())
        return;
    keyScratch_.resize(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i)
        keyScratch_[std::size_t(i)] = char16_t(static_cast<unsigned char>(text.data()[i]));
    DrawRendered(x, y, Rendered(keyScratch_));
    Changed();
}
