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
    if (!bitmap_ || bitmap_->isNull())
        return false;
    // Pixels are written as 32-bit values; any other bitmap is converted once.
    const QImage::Format format = bitmap_->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        *bitmap_ = bitmap_->convertToFormat(QImage::Format_RGB32);
    return true;
}

void TCanvas::BeginUpdate()
{
    ++updateDepth_;
}

void TCanvas::EndUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0 && changedInUpdate_) {
        changedInUpdate_ = false;
        if (OnChange)
            OnChange();
    }
}

void TCanvas::Changed()
{
    if (updateDepth_ > 0)
        changedInUpdate_ = true;
    else if (OnChange)
        OnChange();
}

void TCanvas::Plot(int x, int y, TColor color, TPenMode mode)
{
    if (x < 0 || y < 0 || x >= bitmap_->width() || y >= bitmap_->height())
        return;
    auto* pixel = reinterpret_cast<std::uint32_t*>(bitmap_->scanLine(y)) + x;
    if (mode == TPenMode::Xor)
        *pixel ^= ToPixel(color) & 0x00FFFFFFu;
    else
        *pixel = ToPixel(color);
}

void TCanvas::VerticalRun(int x, int64_t top64, int64_t bottom64, TColor color, TPenMode mode)
{
    if (x < 0 || x >= bitmap_->width())
        return;
    const int top = int(std::max<int64_t>(top64, 0));
    const int bottom = int(std::min<int64_t>(bottom64, bitmap_->height()));
    if (top >= bottom)
        return;
    const std::uint32_t pixel = ToPixel(color);
    const qsizetype stride = bitmap_->bytesPerLine() / 4;
    auto* p = reinterpret_cast<std::uint32_t*>(bitmap_->scanLine(top)) + x;
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
    if (y < 0 || y >= bitmap_->height())
        return;
    const int left = int(std::max<int64_t>(left64, 0));
    const int right = int(std::min<int64_t>(right64, bitmap_->width()));
    if (left >= right)
        return;
    auto* row = reinterpret_cast<std::uint32_t*>(bitmap_->scanLine(y));
    std::fill(row + left, row + right, ToPixel(color));
}

void TCanvas::FillRect(int left, int top, int right, int bottom)
{
    if (!Ready())
        return;
    for (int y = std::max(top, 0); y < std::min(bottom, bitmap_->height()); ++y)
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
        if (x >= 0 && y >= 0 && x < bitmap_->width() && y < bitmap_->height())
            Plot(int(x), int(y), penColor_, penMode_);
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
    for (int y = std::max(top, 0); y <= std::min(bottom, bitmap_->height() - 1); ++y) {
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
    for (int gy = 0; gy < glyphs.height(); ++gy) {
        const int by = y + gy;
        if (by < 0 || by >= bitmap_->height())
            continue;
        const auto* source = reinterpret_cast<const std::uint32_t*>(glyphs.constScanLine(gy));
        auto* target = reinterpret_cast<std::uint32_t*>(bitmap_->scanLine(by));
        for (int gx = 0; gx < glyphs.width(); ++gx) {
            const int bx = x + gx;
            if (bx >= 0 && bx < bitmap_->width() && qAlpha(source[gx]) >= 128)
                target[bx] = pixel;
        }
    }
    Changed();
}
