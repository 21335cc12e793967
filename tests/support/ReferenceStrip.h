#pragma once
// The strip drawn the slow, plain way, part after part and one pixel at a time, as the
// renderer drew it before it wrote whole runs of pixels.
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "strip/RulerNumbers.h"
#include "strip/WaveRender.h"
#include "support/ReferenceCanvas.h"

// The strip as the renderer drew it, part after part, column after column, onto an image
// whose left edge is the strip's column originColumn; only what lies on the image is kept.
// The font is the canvas's (the ruler's).
inline void DrawReferenceStrip(const TWaveRender& strip, const QFont& font, QImage& image, int64_t originColumn)
{
    ReferenceCanvas canvas(image, originColumn);
    const int32_t width = strip.StripWidth(), height = strip.StripHeight(), waveWidth = strip.WaveWidth();
    const int32_t half = (height - 24) / 2, markerTop = height - 8;
    const int32_t begin = strip.BeginPos(), end = strip.EndPos(), cursor = strip.CursorPos();
    const auto pin = [](int64_t v) {
        return int(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    canvas.FillRect(0, 0, width, height, TWaveRender::BackColor);
    // Ruler.
    canvas.Line({0, 15}, {waveWidth - 1, 15}, TWaveRender::RulerColor, TPenMode::Copy);
    if (waveWidth >= 1)
        canvas.TextOut(0, 0, "(S)", font, TWaveRender::RulerColor);
    for (int32_t i = 0; i < waveWidth; ++i)
        if ((i + 1) % 5 == 0)
            canvas.Line({i, 11}, {i, 16}, TWaveRender::RulerColor, TPenMode::Copy);
    const RulerNumbers numbers(font);
    for (int64_t label = 1; label * 25 - 1 < waveWidth; ++label) {
        const QString text = QString::number(label * 5);
        if (numbers.Shows(label, int(text.size())))
            canvas.TextOut(int(label * 25 - 1), 0, text, font, TWaveRender::RulerColor);
    }
    // Band, markers.
    canvas.FillRect(begin, 16, end, markerTop, 0x808080);
    const QPoint beginMarker[] = {{begin, markerTop}, {pin(int64_t(begin) - 8), height}, {begin, height}};
    canvas.Polygon(beginMarker, 3, 0x00FFFF);
    const QPoint endMarker[] = {{end, markerTop}, {pin(int64_t(end) + 8), height}, {end, height}};
    canvas.Polygon(endMarker, 3, 0x0000FF);
    // Bars.
    const auto& wave = strip.Wave();
    const int64_t bars = std::min<int64_t>(width, int64_t(wave.size()));
    for (int64_t j = 0; j < bars; ++j) {
        const int32_t h = wave[std::size_t(j)];
        const bool selected = j >= strip.SelLeft() && j <= strip.SelRight();
        canvas.Line({int(j), half - h + 16}, {int(j), half + h + 16}, 0x008000, selected ? TPenMode::Xor : TPenMode::Copy);
    }
    // Cursor.
    canvas.Line({cursor, 0}, {cursor, markerTop}, 0xF0CAA6, TPenMode::Copy);
    const QPoint cursorMarker[] = {{pin(int64_t(cursor) - 5), 0}, {pin(int64_t(cursor) + 5), 0}, {cursor, 8}};
    canvas.Polygon(cursorMarker, 3, 0xF0CAA6);
}
