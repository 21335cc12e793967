#pragma once
// The canvas's rules worked out the slow, plain way: every shape written pixel by pixel, as
// the canvas drew before it wrote whole runs of pixels. Tests compare the canvas (and the
// strip drawn on it) with it, so that a pixel that comes out differently shows.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/Canvas.h"

// A canvas with the same rules as TCanvas, each shape worked out and written pixel by pixel.
class ReferenceCanvas {
public:
    ReferenceCanvas(QImage& image, int64_t originColumn) : image_(image), origin_(originColumn) {}

    void Plot(int64_t x, int64_t y, TColor color, TPenMode mode)
    {
        x -= origin_;
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
            return;
        auto* pixel = reinterpret_cast<std::uint32_t*>(image_.scanLine(int(y))) + x;
        if (mode == TPenMode::Xor)
            *pixel ^= ToPixel(color) & 0x00FFFFFFu;
        else
            *pixel = ToPixel(color);
    }
    void FillRect(int64_t left, int64_t top, int64_t right, int64_t bottom, TColor color)
    {
        for (int64_t y = top; y < bottom; ++y)
            for (int64_t x = std::max<int64_t>(left, origin_); x < std::min<int64_t>(right, origin_ + image_.width()); ++x)
                Plot(x, y, color, TPenMode::Copy);
    }
    // Bresenham's walk for every direction, the end point left out.
    void Line(QPoint from, QPoint to, TColor color, TPenMode mode)
    {
        int64_t x = from.x(), y = from.y();
        const int64_t dx = std::abs(int64_t(to.x()) - x), dy = -std::abs(int64_t(to.y()) - y);
        const int64_t sx = x < to.x() ? 1 : -1, sy = y < to.y() ? 1 : -1;
        int64_t error = dx + dy;
        while (x != to.x() || y != to.y()) {
            Plot(x, y, color, mode);
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
    void Polygon(const QPoint* points, int count, TColor color)
    {
        int top = points[0].y(), bottom = points[0].y();
        for (int i = 1; i < count; ++i) {
            top = std::min(top, points[i].y());
            bottom = std::max(bottom, points[i].y());
        }
        for (int y = std::max(top, 0); y <= std::min(bottom, image_.height() - 1); ++y) {
            std::vector<double> crossings;
            for (int i = 0; i < count; ++i) {
                const QPoint a = points[i], b = points[(i + 1) % count];
                if ((a.y() <= y) == (b.y() <= y))
                    continue;
                crossings.push_back(a.x() + (double(y) - a.y()) * (double(b.x()) - a.x()) / (double(b.y()) - a.y()));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
                const int64_t left = std::max<int64_t>(int64_t(std::ceil(crossings[i])), origin_ - 1);
                const int64_t right = std::min<int64_t>(int64_t(std::floor(crossings[i + 1])), origin_ + image_.width());
                for (int64_t x = left; x <= right; ++x)
                    Plot(x, y, color, TPenMode::Copy);
            }
        }
        for (int i = 0; i < count; ++i)
            Line(points[i], points[(i + 1) % count], color, TPenMode::Copy);
    }
    void TextOut(int x, int y, const QString& text, const QFont& font, TColor color)
    {
        const QFontMetrics metrics(font);
        if (int64_t(x) + metrics.horizontalAdvance(text) < origin_ || int64_t(x) >= origin_ + image_.width())
            return;   // wholly beside the image
        QImage glyphs(std::max(1, metrics.horizontalAdvance(text)), std::max(1, metrics.height()), QImage::Format_ARGB32);
        glyphs.fill(Qt::transparent);
        QPainter painter(&glyphs);
        painter.setFont(font);
        painter.setPen(ToQColor(color));
        painter.drawText(glyphs.rect(), Qt::AlignLeft | Qt::AlignTop, text);
        painter.end();
        for (int gy = 0; gy < glyphs.height(); ++gy)
            for (int gx = 0; gx < glyphs.width(); ++gx)
                if (qAlpha(glyphs.pixel(gx, gy)) >= 128)
                    Plot(int64_t(x) + gx, int64_t(y) + gy, color, TPenMode::Copy);
    }

private:
    QImage& image_;
    int64_t origin_;
};

