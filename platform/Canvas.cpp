#include "platform/Canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

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
        glyphCache_.clear();
    font_ = aliased;
    fontColor_ = color;
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

std::uint32_t* TCanvas::Row(int y)
{
    return pixels_ + stride_ * y;
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
    const int top = int(std::max<int64_t>(top64, 0));
    const int bottom = int(std::min<int64_t>(bottom64, height_));
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

void TCanvas::HorizontalRun(int y, int64_t left64, int64_t right64, TColor color)
{
    if (y < 0 || y >= height_)
        return;
    const int left = int(std::max<int64_t>(left64 - originColumn_, 0));
    const int right = int(std::min<int64_t>(right64 - originColumn_, width_));
    if (left >= right)
        return;
    std::uint32_t* row = Row(y);
    std::fill(row + left, row + right, ToPixel(color));
}

void TCanvas::FillRect(int left, int top, int right, int bottom)
{
    if (!Ready())
        return;
    for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y)
        HorizontalRun(y, left, right, brushColor_);
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
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    std::vector<double> crossings;
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
            HorizontalRun(y, int64_t(std::ceil(crossings[i])), int64_t(std::floor(crossings[i + 1])) + 1, brushColor_);
    }
    // The outline, closed: every vertex is drawn, as each edge starts where the last ended.
    for (int i = 0; i < count; ++i)
        Segment(points[i], points[(i + 1) % count]);
    Changed();
}

const QImage& TCanvas::Glyphs(const QString& text)
{
    auto found = glyphCache_.find(text);
    if (found != glyphCache_.end())
        return *found;
    if (glyphCache_.size() >= kMaxCachedTexts)
        glyphCache_.clear();
    const QFontMetrics metrics(font_);
    QImage glyphs(std::max(1, metrics.horizontalAdvance(text)), std::max(1, metrics.height()),
                  QImage::Format_ARGB32);
    glyphs.fill(Qt::transparent);
    QPainter painter(&glyphs);
    painter.setFont(font_);
    painter.setPen(ToQColor(fontColor_));
    painter.drawText(glyphs.rect(), Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    return *glyphCache_.insert(text, glyphs);
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    if (text.isEmpty() || !Ready())
        return;
    const QImage& glyphs = Glyphs(text);
    const std::uint32_t pixel = ToPixel(fontColor_);
    // Only the part of the text that lies on the bitmap is copied.
    const int64_t left = int64_t(x) - originColumn_;
    const int firstColumn = int(std::clamp<int64_t>(-left, 0, glyphs.width()));
    const int endColumn = int(std::clamp<int64_t>(width_ - left, 0, glyphs.width()));
    const int firstRow = std::max(0, -y), endRow = std::min(glyphs.height(), height_ - y);
    for (int gy = firstRow; gy < endRow; ++gy) {
        const auto* source = reinterpret_cast<const std::uint32_t*>(glyphs.constScanLine(gy));
        std::uint32_t* target = Row(y + gy);
        for (int gx = firstColumn; gx < endColumn; ++gx)
            if (qAlpha(source[gx]) >= 128)
                target[left + gx] = pixel;
    }
    Changed();
}
