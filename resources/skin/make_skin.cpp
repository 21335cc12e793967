// make_skin: draws every picture of Tallowick's skin and writes them into one folder.
//
//   cmake --build build --target make_skin
//   build/resources/make_skin resources/skin
//
// (or `cmake --build build --target remake_skin`, which does both). The pictures are
// drawn with QPainter in one palette; the fonts are DejaVu Sans and DejaVu Sans Bold.
// Formats follow what the window expects of each picture: JPEG for backgrounds, the
// banner and most button states, Windows bitmaps (uncompressed, 32 bits per pixel) for
// the pressed states that are bitmaps, PNG for the icon. Every button picture is drawn
// over the piece of the background it covers, so that its corners blend into the skin.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// ---- palette ---------------------------------------------------------------------------
const QColor kSlateTop(0x2a, 0x38, 0x4e);       // body of the window, top
const QColor kSlateBottom(0x1c, 0x25, 0x34);    // body of the window, bottom
const QColor kSlateLine(0x0c, 0x11, 0x19);      // dark edges and shadows
const QColor kSlateLight(0x47, 0x5a, 0x78);     // bevel highlights
const QColor kTitleTop(0x3a, 0x4d, 0x69);
const QColor kTitleBottom(0x22, 0x2e, 0x41);
const QColor kPanelTop(0x33, 0x44, 0x5d);
const QColor kPanelBottom(0x24, 0x30, 0x43);
const QColor kHeader(0x3b, 0x5b, 0x86);         // headings of the white panels
const QColor kOrange(0xf2, 0x8c, 0x28);
const QColor kOrangeLight(0xff, 0xb3, 0x5c);
const QColor kOrangeDark(0xc9, 0x5f, 0x0c);
const QColor kRed(0xd9, 0x35, 0x2b);
const QColor kRedLight(0xf2, 0x5e, 0x4d);
const QColor kRedDark(0x9e, 0x1c, 0x14);
const QColor kMetalTop(0xf0, 0xf3, 0xf7);
const QColor kMetalBottom(0xa4, 0xb0, 0xc0);
const QColor kGlyph(0x24, 0x36, 0x4f);
const QColor kStatusBar(0xd6, 0xdc, 0xe4);
const QColor kPaper(0xf6, 0xf3, 0xee);          // the light panel of the About dialog
const QColor kInk(0x3a, 0x40, 0x4a);

constexpr int kBackWidth = 598;
constexpr int kBackHeight = 422;

QFont Font(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A picture of width x height logical pixels drawn at `scale` device pixels each: a
// painter on it works in logical pixels, so every picture is drawn by the same code at
// 1x and, for screens at 200 %, at 2x.
QImage NewImage(int width, int height, qreal scale, const QColor& fill = Qt::black)
{
    QImage image(qRound(width * scale), qRound(height * scale), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(fill);
    return image;
}

// The piece of `back` under `rect` (logical pixels), at the same scale.
QImage Piece(const QImage& back, const QRect& rect)
{
    const qreal scale = back.devicePixelRatio();
    QImage piece = back.copy(QRect(qRound(rect.x() * scale), qRound(rect.y() * scale), qRound(rect.width() * scale),
                                   qRound(rect.height() * scale)));
    piece.setDevicePixelRatio(scale);
    return piece;
}

void Bevel(QPainter& p, const QRectF& r, const QColor& topLeft, const QColor& bottomRight)
{
    p.setPen(QPen(topLeft, 1));
    p.drawLine(QPointF(r.left(), r.bottom()), r.topLeft());
    p.drawLine(r.topLeft(), QPointF(r.right(), r.top()));
    p.setPen(QPen(bottomRight, 1));
    p.drawLine(QPointF(r.right(), r.top()), r.bottomRight());
    p.drawLine(r.bottomRight(), QPointF(r.left(), r.bottom()));
}

// A dark rounded panel with a light inner edge.
void DarkPanel(QPainter& p, const QRectF& r, qreal radius)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kPanelTop);
    g.setColorAt(1, kPanelBottom);
    p.setPen(QPen(kSlateLine, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
}

// ---- the icon: an orange tile with a white wave and a selection bracket ----------------
QImage Icon(int size, qreal scale = 1)
{
    QImage image(qRound(size * scale), qRound(size * scale), QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF tile(0.5, 0.5, s - 1, s - 1);
    QLinearGradient g(0, 0, 0, s);
    g.setColorAt(0, kOrangeLight);
    g.setColorAt(1, kOrangeDark);
    p.setPen(QPen(kOrangeDark.darker(130), size >= 32 ? 1.5 : 1));
    p.setBrush(g);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    if (size < 32) {
        // Small sizes: one-pixel bars on whole pixels, so that they stay sharp.
        const int heights[] = {4, 8, 6, 10, 4};
        for (int i = 0; i < 5; ++i)
            p.fillRect(QRect(3 + 2 * i, size / 2 - heights[i] / 2, 1, heights[i]), Qt::white);
        return image;
    }
    // Wave bars, symmetrical about the middle line, and a dark selection bracket over
    // the middle ones.
    const int bars = 7;
    const qreal heights[] = {0.22, 0.42, 0.62, 0.36, 0.56, 0.30, 0.16};
    const qreal left = s * 0.17;
    const qreal span = s * 0.66;
    const qreal step = span / bars;
    const qreal barWidth = std::max(1.0, step * 0.58);
    for (int i = 0; i < bars; ++i) {
        const qreal h = heights[i] * s;
        const qreal x = left + i * step + (step - barWidth) / 2;
        p.drawRoundedRect(QRectF(x, s / 2 - h / 2, barWidth, h), barWidth / 2, barWidth / 2);
    }
    p.setPen(QPen(kGlyph, s / 24, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    const qreal top = s * 0.16, bottom = s * 0.84, l = s * 0.36, r = s * 0.64, arm = s * 0.07;
    p.drawPolyline(QPolygonF({{l + arm, top}, {l, top}, {l, bottom}, {l + arm, bottom}}));
    p.drawPolyline(QPolygonF({{r - arm, top}, {r, top}, {r, bottom}, {r - arm, bottom}}));
    return image;
}

// ---- the title-bar glyphs of minimise and close -----------------------------------------
enum class State { Normal, Hover, Pressed };

void CaptionGlyph(QPainter& p, const QRectF& r, bool close, State state)
{
    p.setRenderHint(QPainter::Antialiasing);
    QColor face, edge, mark;
    switch (state) {
    case State::Normal: face = QColor(0x4a, 0x5d, 0x7a); edge = kSlateLine; mark = QColor(0xe6, 0xea, 0xf0); break;
    case State::Hover: face = close ? kRed : kOrange; edge = kSlateLine; mark = Qt::white; break;
    case State::Pressed: face = close ? kRedDark : kOrangeDark; edge = kSlateLine; mark = QColor(0xf0, 0xe0, 0xd0); break;
    }
    const QRectF box = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, face.lighter(state == State::Pressed ? 90 : 125));
    g.setColorAt(1, face);
    p.setPen(QPen(edge, 1));
    p.setBrush(g);
    p.drawRoundedRect(box, 2.5, 2.5);
    const qreal shift = state == State::Pressed ? 0.5 : 0;
    p.setPen(QPen(mark, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = box.center() + QPointF(shift, shift);
    if (close) {
        p.drawLine(c + QPointF(-2.8, -2.8), c + QPointF(2.8, 2.8));
        p.drawLine(c + QPointF(-2.8, 2.8), c + QPointF(2.8, -2.8));
    } else {
        p.drawLine(c + QPointF(-3, 2.5), c + QPointF(3, 2.5));
    }
}

// ---- the background ---------------------------------------------------------------------
const QRect kMinimizeRect(549, 8, 14, 14);
const QRect kCloseRect(572, 8, 14, 14);
const QRect kStripRect(13, 37, 363, 171);
const QRect kTransportPanel(388, 33, 198, 179);
const QRect kStatusDisplay(391, 183, 191, 20);
const QRect kFilePanel(13, 224, 158, 166);
const QRect kInfoPanel(180, 224, 193, 142);
const QRect kSelectionPanel(385, 224, 195, 142);
const int kStatusBarTop = 396;

struct RoundButton {
    const char* name;
    QRect rect;
};
const RoundButton kTransport[] = {
    {"btnPlay", {454, 97, 47, 48}},          {"btnMarkStart", {414, 105, 36, 35}},
    {"btnMarkEnd", {500, 104, 36, 35}},      {"btnPlaySelected", {458, 60, 36, 36}},
    {"btnMoveLeft", {408, 51, 40, 40}},      {"btnMoveRight", {503, 51, 42, 42}},
    {"MouseEffectImage1", {458, 144, 35, 35}},
};
// Round buttons whose socket is not in the background: their pictures draw it themselves,
// inside their own rectangle, so that the background and the buttons above keep their
// pictures as they are.
const RoundButton kSocketedTransport[] = {
    {"btnSuggest", {414, 144, 36, 35}},
};

// The dark socket a round button sits in, its rim lit from below.
void Socket(QPainter& p, const QPointF& centre, qreal radius)
{
    QRadialGradient socket(centre + QPointF(0, 1), radius);
    socket.setColorAt(0.8, QColor(0x0a, 0x0f, 0x16));
    socket.setColorAt(1, QColor(0x1c, 0x26, 0x35));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.setBrush(socket);
    p.drawEllipse(centre + QPointF(0, 0.5), radius, radius);
}

void WhitePanel(QPainter& p, const QRect& r, const QString& heading)
{
    const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    // Shadow, then the white sheet with its heading band.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(box.translated(2, 2), 5, 5);
    p.setBrush(Qt::white);
    p.setPen(QPen(kSlateLine, 1));
    p.drawRoundedRect(box, 5, 5);

    QPainterPath band;
    band.addRoundedRect(box, 5, 5);
    QPainterPath top;
    top.addRect(QRectF(box.left(), box.top(), box.width(), 24));
    QLinearGradient g(box.topLeft(), box.topLeft() + QPointF(0, 24));
    g.setColorAt(0, kHeader.lighter(125));
    g.setColorAt(1, kHeader);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(band.intersected(top));
    p.setPen(QPen(kOrange, 2));
    p.drawLine(QPointF(box.left() + 1, box.top() + 25), QPointF(box.right() - 1, box.top() + 25));
    p.setPen(QPen(kSlateLine, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box, 5, 5);

    p.setFont(Font(11, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(box.left() + 8, box.top(), box.width() - 16, 24), Qt::AlignLeft | Qt::AlignVCenter, heading);
    // Faint rules between the rows of labels (rows at 262, 282, 304, 324 and 344).
    p.setPen(QPen(QColor(0xe4, 0xe8, 0xee), 1));
    for (int y : {279, 300, 320, 340})
        p.drawLine(QPointF(box.left() + 6, y + 0.5), QPointF(box.right() - 6, y + 0.5));
}

QImage Background(qreal scale)
{
    QImage image = NewImage(kBackWidth, kBackHeight, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Body.
    QLinearGradient body(0, 0, 0, kBackHeight);
    body.setColorAt(0, kSlateTop);
    body.setColorAt(1, kSlateBottom);
    p.fillRect(QRect(0, 0, kBackWidth, kBackHeight), body);

    // Title bar with the icon and the name.
    QLinearGradient title(0, 0, 0, 30);
    title.setColorAt(0, kTitleTop);
    title.setColorAt(1, kTitleBottom);
    p.fillRect(QRect(0, 0, kBackWidth, 30), title);
    p.fillRect(QRect(0, 30, kBackWidth, 1), kSlateLine);
    p.fillRect(QRect(0, 31, kBackWidth, 1), QColor(255, 255, 255, 20));
    p.drawImage(8, 7, Icon(16, scale));
    p.setFont(Font(13, true));
    p.setPen(Qt::white);
    p.drawText(30, 20, QStringLiteral("Tallowick"));
    const int nameWidth = QFontMetrics(Font(13, true)).horizontalAdvance(QStringLiteral("Tallowick"));
    p.setFont(Font(11));
    p.setPen(QColor(0xa8, 0xb6, 0xc9));
    p.drawText(30 + nameWidth + 8, 20, QStringLiteral("Ringtone Cutter"));
    CaptionGlyph(p, kMinimizeRect, false, State::Normal);
    CaptionGlyph(p, kCloseRect, true, State::Normal);

    // The strip's sunken frame; the strip or the banner covers its inside.
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect well = kStripRect.adjusted(-4, -4, 4, 4);
    p.fillRect(well, QColor(0x14, 0x1b, 0x26));
    Bevel(p, well, kSlateLine, kSlateLight);
    Bevel(p, well.adjusted(1, 1, -1, -1), QColor(0x10, 0x16, 0x20), QColor(0x36, 0x46, 0x5e));
    p.fillRect(kStripRect, QColor(0x0d, 0x13, 0x1c));
    p.setRenderHint(QPainter::Antialiasing);

    // The transport panel, a socket under each round button and the status display.
    DarkPanel(p, kTransportPanel, 8);
    for (const RoundButton& b : kTransport) {
        const QRectF r = QRectF(b.rect);
        Socket(p, r.center(), std::min(r.width(), r.height()) / 2 + 1.5);
    }
    // Grooves joining the buttons into one cluster.
    p.setPen(QPen(QColor(0x12, 0x19, 0x24), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(450, 122), QPointF(454, 121));
    p.drawLine(QPointF(501, 121), QPointF(500, 121));
    QRectF display = QRectF(kStatusDisplay).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(kSlateLine, 1));
    p.setBrush(QColor(0x10, 0x16, 0x1f));
    p.drawRoundedRect(display, 3, 3);
    p.setPen(QPen(QColor(255, 255, 255, 25), 1));
    p.drawLine(display.bottomLeft() + QPointF(3, 1), display.bottomRight() + QPointF(-3, 1));

    // The file panel: Open, Save and the About link.
    DarkPanel(p, kFilePanel, 8);
    p.setFont(Font(11, true));
    p.setPen(QColor(0xc8, 0xd2, 0xe0));
    p.drawText(QRect(kFilePanel.left() + 10, kFilePanel.top() + 4, 140, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Ringtone"));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawLine(QPointF(kFilePanel.left() + 8, kFilePanel.top() + 24.5),
               QPointF(kFilePanel.right() - 8, kFilePanel.top() + 24.5));
    p.setPen(QPen(kSlateLine, 1));
    p.drawLine(QPointF(kFilePanel.left() + 8, kFilePanel.top() + 23.5),
               QPointF(kFilePanel.right() - 8, kFilePanel.top() + 23.5));
    // Sockets under the two orange buttons.
    for (int top : {254, 303}) {
        p.setPen(QPen(QColor(255, 255, 255, 30), 1));
        p.setBrush(QColor(0x10, 0x16, 0x1f));
        p.drawRoundedRect(QRectF(24.5, top - 1.5, 111, 35), 7, 7);
    }
    // The About link: an information mark beside the label's place.
    p.setPen(QPen(kSlateLine, 1));
    p.drawLine(QPointF(kFilePanel.left() + 8, 357.5), QPointF(kFilePanel.right() - 8, 357.5));
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawLine(QPointF(kFilePanel.left() + 8, 358.5), QPointF(kFilePanel.right() - 8, 358.5));
    const QPointF info(48.5, 373.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawEllipse(info, 6.5, 6.5);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(info + QPointF(0, -0.5), info + QPointF(0, 3));
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(info + QPointF(0, -3), 1, 1);

    // The two white information panels.
    WhitePanel(p, kInfoPanel, QStringLiteral("Audio Information"));
    WhitePanel(p, kSelectionPanel, QStringLiteral("Selected Segment"));

    // The status bar along the bottom edge.
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient bar(0, kStatusBarTop, 0, kBackHeight);
    bar.setColorAt(0, kStatusBar.lighter(106));
    bar.setColorAt(1, kStatusBar.darker(108));
    p.fillRect(QRect(0, kStatusBarTop, kBackWidth, kBackHeight - kStatusBarTop), bar);
    p.fillRect(QRect(0, kStatusBarTop, kBackWidth, 1), kSlateLine);
    p.fillRect(QRect(0, kStatusBarTop + 1, kBackWidth, 1), Qt::white);

    // The window's outer edge.
    Bevel(p, QRect(0, 0, kBackWidth - 1, kBackHeight - 1), kSlateLight, kSlateLine);
    return image;
}

// ---- the banner shown in the strip's place before a file is opened -----------------------
QImage Banner(qreal scale)
{
    QImage image = NewImage(363, 179, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 363, 179);
    sky.setColorAt(0, QColor(0x1b, 0x2a, 0x45));
    sky.setColorAt(0.6, QColor(0x2c, 0x2a, 0x55));
    sky.setColorAt(1, QColor(0x47, 0x22, 0x4e));
    p.fillRect(QRect(0, 0, 363, 179), sky);
    // Soft glow behind the wave.
    QRadialGradient glow(QPointF(250, 95), 150);
    glow.setColorAt(0, QColor(0xf2, 0x8c, 0x28, 90));
    glow.setColorAt(1, QColor(0xf2, 0x8c, 0x28, 0));
    p.fillRect(QRect(0, 0, 363, 179), glow);

    // A wave of bars across the banner with a selection drawn over part of it.
    const int barCount = 58;
    const qreal left = 12, step = 6, mid = 108;
    for (int i = 0; i < barCount; ++i) {
        const qreal t = i / qreal(barCount - 1);
        const qreal envelope = 0.35 + 0.65 * std::sin(t * M_PI);
        const qreal h = 6 + 44 * envelope * (0.55 + 0.45 * std::fabs(std::sin(i * 1.7) * std::cos(i * 0.63)));
        const bool selected = i >= 30 && i <= 45;
        QLinearGradient bg(0, mid - h, 0, mid + h);
        bg.setColorAt(0, selected ? kOrangeLight : QColor(0x6f, 0xc3, 0xf0));
        bg.setColorAt(0.5, selected ? kOrange : QColor(0x3f, 0x8e, 0xd8));
        bg.setColorAt(1, selected ? kOrangeLight : QColor(0x6f, 0xc3, 0xf0));
        p.setPen(Qt::NoPen);
        p.setBrush(bg);
        p.drawRoundedRect(QRectF(left + i * step, mid - h / 2, 4, h), 2, 2);
    }
    const qreal selLeft = left + 30 * step - 3, selRight = left + 45 * step + 7;
    p.setBrush(QColor(255, 255, 255, 30));
    p.drawRect(QRectF(selLeft, mid - 36, selRight - selLeft, 72));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{selLeft + 6, mid - 37}, {selLeft, mid - 37}, {selLeft, mid + 37}, {selLeft + 6, mid + 37}}));
    p.drawPolyline(
        QPolygonF({{selRight - 6, mid - 37}, {selRight, mid - 37}, {selRight, mid + 37}, {selRight - 6, mid + 37}}));

    // The name and the line under it.
    p.drawImage(14, 12, Icon(32, scale));
    QFont name = Font(30, true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    p.setFont(name);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(55, 41, QStringLiteral("Tallowick"));
    p.setPen(Qt::white);
    p.drawText(54, 40, QStringLiteral("Tallowick"));
    p.setFont(Font(12, true));
    p.setPen(kOrangeLight);
    p.drawText(56, 58, QStringLiteral("Cut your own ringtones"));
    p.setFont(Font(11));
    p.setPen(QColor(0xc9, 0xd3, 0xe2));
    p.drawText(QRect(0, 148, 363, 16), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Click Open to choose an MP3, WAV or WMA file"));
    return image;
}

// ---- the round transport buttons -----------------------------------------------------------
using GlyphFn = std::function<void(QPainter&, qreal r)>;  // draws around (0, 0) within radius r

void Triangle(QPainter& p, qreal cx, qreal cy, qreal size, bool right)
{
    const qreal d = right ? 1 : -1;
    p.drawPolygon(QPolygonF({{cx - d * size * 0.45, cy - size * 0.55},
                             {cx + d * size * 0.55, cy},
                             {cx - d * size * 0.45, cy + size * 0.55}}));
}

void Bracket(QPainter& p, qreal x, qreal halfHeight, qreal arm, qreal width, bool opening)
{
    const qreal d = opening ? 1 : -1;
    QPainterPath path;
    path.moveTo(x + d * (arm + width), -halfHeight);
    path.lineTo(x, -halfHeight);
    path.lineTo(x, halfHeight);
    path.lineTo(x + d * (arm + width), halfHeight);
    path.lineTo(x + d * (arm + width), halfHeight - width);
    path.lineTo(x + d * width, halfHeight - width);
    path.lineTo(x + d * width, -halfHeight + width);
    path.lineTo(x + d * (arm + width), -halfHeight + width);
    path.closeSubpath();
    p.drawPath(path);
}

const GlyphFn kPlayGlyph = [](QPainter& p, qreal r) { Triangle(p, r * 0.08, 0, r * 0.95, true); };
const GlyphFn kPauseGlyph = [](QPainter& p, qreal r) {
    const qreal w = r * 0.24, h = r * 0.95;
    p.drawRoundedRect(QRectF(-r * 0.34, -h / 2, w, h), 1, 1);
    p.drawRoundedRect(QRectF(r * 0.34 - w, -h / 2, w, h), 1, 1);
};
const GlyphFn kPlaySelectedGlyph = [](QPainter& p, qreal r) {
    const qreal w = std::max(2.0, r * 0.13);
    Bracket(p, -r * 0.62, r * 0.5, r * 0.14, w, true);
    Bracket(p, r * 0.62, r * 0.5, r * 0.14, w, false);
    Triangle(p, r * 0.05, 0, r * 0.62, true);
};
const GlyphFn kMarkStartGlyph = [](QPainter& p, qreal r) {
    const qreal w = std::max(2.5, r * 0.19);
    Bracket(p, -r * 0.2, r * 0.55, r * 0.22, w, true);
    p.drawEllipse(QPointF(r * 0.3, 0), r * 0.11, r * 0.11);
};
const GlyphFn kMarkEndGlyph = [](QPainter& p, qreal r) {
    const qreal w = std::max(2.5, r * 0.19);
    Bracket(p, r * 0.2, r * 0.55, r * 0.22, w, false);
    p.drawEllipse(QPointF(-r * 0.3, 0), r * 0.11, r * 0.11);
};
const GlyphFn kMoveLeftGlyph = [](QPainter& p, qreal r) {
    const qreal w = std::max(2.0, r * 0.14);
    Bracket(p, r * 0.22, r * 0.5, r * 0.18, w, true);
    Triangle(p, -r * 0.28, 0, r * 0.62, false);
    p.drawRect(QRectF(-r * 0.2, -w / 2, r * 0.32, w));
};
const GlyphFn kMoveRightGlyph = [](QPainter& p, qreal r) {
    const qreal w = std::max(2.0, r * 0.14);
    Bracket(p, -r * 0.22, r * 0.5, r * 0.18, w, false);
    Triangle(p, r * 0.28, 0, r * 0.62, true);
    p.drawRect(QRectF(-r * 0.12, -w / 2, r * 0.32, w));
};

// A sparkle, the mark of the suggestion: a large four-pointed star with a small one
// above it to the right.
void Sparkle(QPainter& p, const QPointF& centre, qreal reach)
{
    const qreal bend = reach * 0.1;   // how far the sides curve in towards the middle
    QPainterPath star;
    star.moveTo(centre + QPointF(0, -reach));
    star.quadTo(centre + QPointF(bend, -bend), centre + QPointF(reach, 0));
    star.quadTo(centre + QPointF(bend, bend), centre + QPointF(0, reach));
    star.quadTo(centre + QPointF(-bend, bend), centre + QPointF(-reach, 0));
    star.quadTo(centre + QPointF(-bend, -bend), centre + QPointF(0, -reach));
    star.closeSubpath();
    p.drawPath(star);
}
const GlyphFn kSuggestGlyph = [](QPainter& p, qreal r) {
    Sparkle(p, QPointF(-r * 0.14, r * 0.12), r * 0.6);
    Sparkle(p, QPointF(r * 0.4, -r * 0.4), r * 0.28);
};

// `ownSocket`: the background has no socket under the button, so the picture draws one
// as large as its rectangle allows.
QImage RoundButtonPicture(const QImage& back, const QRect& rect, const GlyphFn& glyph, State state,
                          bool ownSocket = false)
{
    QImage image = Piece(back, rect);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(rect.width() / 2.0, rect.height() / 2.0);
    const qreal r = std::min(rect.width(), rect.height()) / 2.0 - 1.0;
    if (ownSocket)
        Socket(p, c - QPointF(0, 0.5), r + 0.5);

    // Disc: brushed metal, lit from above; pressed turns the light around.
    QLinearGradient metal(0, c.y() - r, 0, c.y() + r);
    if (state == State::Pressed) {
        metal.setColorAt(0, kMetalBottom.darker(115));
        metal.setColorAt(1, kMetalTop.darker(105));
    } else {
        metal.setColorAt(0, state == State::Hover ? Qt::white : kMetalTop);
        metal.setColorAt(1, state == State::Hover ? kMetalBottom.lighter(112) : kMetalBottom);
    }
    p.setPen(QPen(kSlateLine, 1));
    p.setBrush(metal);
    p.drawEllipse(c, r, r);
    // Ring: orange while hovered or pressed.
    if (state != State::Normal) {
        p.setPen(QPen(state == State::Hover ? kOrange : kOrangeDark, std::max(1.5, r * 0.1)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r - std::max(1.5, r * 0.1) / 2 - 0.5, r - std::max(1.5, r * 0.1) / 2 - 0.5);
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 160), 1));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - r + 1.5, c.y() - r + 1.5, 2 * r - 3, 2 * r - 3), 30 * 16, 120 * 16);
    }
    // Glyph, with a light emboss under it; pressed moves it down a pixel.
    const QColor ink = state == State::Normal ? kGlyph : (state == State::Hover ? kOrangeDark : kRedDark);
    const QPointF shift = state == State::Pressed ? QPointF(0.5, 1) : QPointF(0, 0);
    p.setPen(Qt::NoPen);
    p.save();
    p.translate(c + shift + QPointF(0, 1));
    p.setBrush(QColor(255, 255, 255, state == State::Pressed ? 60 : 150));
    glyph(p, r);
    p.restore();
    p.save();
    p.translate(c + shift);
    p.setBrush(ink);
    glyph(p, r);
    p.restore();
    return image;
}

// ---- the orange Open and Save buttons ----------------------------------------------------
void FolderMark(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 2);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 2);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + 4);
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void DiskMark(QPainter& p, const QRectF& r, const QColor& hole)
{
    p.drawRoundedRect(r, 1.5, 1.5);
    const QBrush keep = p.brush();
    p.setBrush(hole);
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.top(), r.width() * 0.5, r.height() * 0.35));
    p.drawRect(QRectF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.55, r.width() * 0.6, r.height() * 0.45 - 1.5));
    p.setBrush(keep);
}

QImage CaptionButtonPicture(const QImage& back, const QRect& rect, const QString& caption, bool open, State state)
{
    QImage image = Piece(back, rect);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box = QRectF(0, 0, rect.width(), rect.height()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool pressed = state == State::Pressed;
    const QColor top = state == State::Normal ? kOrangeLight : (pressed ? kRedDark : kRedLight);
    const QColor bottom = state == State::Normal ? kOrangeDark : (pressed ? kRed : kRedDark);
    QLinearGradient g(0, 0, 0, rect.height());
    g.setColorAt(0, top);
    g.setColorAt(0.5, state == State::Normal ? kOrange : kRed);
    g.setColorAt(1, bottom);
    p.setPen(QPen(kSlateLine, 1));
    p.setBrush(g);
    p.drawRoundedRect(box, 6, 6);
    if (!pressed) {
        // Gloss over the upper half.
        QPainterPath gloss;
        gloss.addRoundedRect(box.adjusted(1.5, 1.5, -1.5, -box.height() / 2), 5, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 55));
        p.drawPath(gloss);
    }
    const QPointF shift = pressed ? QPointF(1, 1) : QPointF(0, 0);
    const QFont font = Font(15, true);
    const int textWidth = QFontMetrics(font).horizontalAdvance(caption);
    const qreal markWidth = 16, gap = 8;
    const qreal left = (rect.width() - (markWidth + gap + textWidth)) / 2 + shift.x();
    const QRectF mark(left, rect.height() / 2.0 - 6.5 + shift.y(), markWidth, 13);
    const QColor ink = Qt::white;
    const QColor shade(0, 0, 0, 90);
    for (int pass = 0; pass < 2; ++pass) {
        const QPointF o = pass == 0 ? QPointF(0, 1) : QPointF(0, 0);
        p.setPen(Qt::NoPen);
        p.setBrush(pass == 0 ? shade : QBrush(ink));
        if (open)
            FolderMark(p, mark.translated(o));
        else
            DiskMark(p, mark.adjusted(1.5, 0, -1.5, 0).translated(o), pass == 0 ? shade : bottom);
        p.setFont(font);
        p.setPen(pass == 0 ? shade : ink);
        p.drawText(QRectF(left + markWidth + gap, shift.y(), textWidth + 4, rect.height()).translated(o),
                   Qt::AlignLeft | Qt::AlignVCenter, caption);
    }
    return image;
}

// ---- the About dialog's background ----------------------------------------------------------
QImage AboutBackground(qreal scale)
{
    QImage image = NewImage(300, 266, scale, kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient band(0, 0, 0, 58);
    band.setColorAt(0, kTitleTop);
    band.setColorAt(1, kTitleBottom);
    p.fillRect(QRect(0, 0, 300, 58), band);
    p.fillRect(QRect(0, 58, 300, 3), kOrange);
    p.drawImage(20, 13, Icon(32, scale));
    p.setFont(Font(26, true));
    p.setPen(Qt::white);
    p.drawText(62, 34, QStringLiteral("Tallowick"));
    p.setFont(Font(11));
    p.setPen(QColor(0xa8, 0xb6, 0xc9));
    p.drawText(64, 51, QStringLiteral("Ringtone Cutter"));

    // Below the version line: what the program does.
    p.setFont(Font(11));
    p.setPen(kInk);
    p.drawText(QRect(6, 94, 288, 36), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Cuts ringtones out of MP3, WAV and WMA files\nand saves them as MP3 or AMR."));
    p.setPen(QPen(QColor(0xd8, 0xd2, 0xc8), 1));
    p.drawLine(QPointF(20, 146.5), QPointF(280, 146.5));
    p.drawLine(QPointF(20, 216.5), QPointF(280, 216.5));

    // A globe beside the home page, a letter beside the support address.
    const QColor mark(0x3b, 0x5b, 0x86);
    p.setPen(QPen(mark, 1.2));
    p.setBrush(Qt::NoBrush);
    const QPointF globe(35.5, 171.5);
    p.drawEllipse(globe, 6, 6);
    p.drawEllipse(globe, 2.6, 6);
    p.drawLine(globe + QPointF(-6, 0), globe + QPointF(6, 0));
    const QRectF letter(29.5, 190.5, 12, 9);
    p.drawRect(letter);
    p.drawPolyline(QPolygonF({letter.topLeft(), letter.center() + QPointF(0, 1), letter.topRight()}));

    // A plate under the flat Continue button.
    const QRectF plate(189.5, 230.5, 66, 19);
    QLinearGradient face(0, plate.top(), 0, plate.bottom());
    face.setColorAt(0, Qt::white);
    face.setColorAt(1, QColor(0xe4, 0xdf, 0xd6));
    p.setPen(QPen(QColor(0xb8, 0xaf, 0xa2), 1));
    p.setBrush(face);
    p.drawRoundedRect(plate, 3, 3);
    p.setFont(Font(10));
    p.setPen(QColor(0x8a, 0x84, 0x7a));
    p.drawText(20, 244, QStringLiteral("Made with Qt and FFmpeg"));
    return image;
}

// ---- writing -------------------------------------------------------------------------------
bool g_failed = false;

void Fail(const QString& what)
{
    std::fprintf(stderr, "make_skin: %s\n", qPrintable(what));
    g_failed = true;
}

void SaveJpeg(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(95);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32)))
        Fail(path + ": " + writer.errorString());
}

void SavePng(const QImage& image, const QString& path)
{
    if (!image.save(path, "png"))
        Fail(path + ": cannot write");
}

// A Windows bitmap, uncompressed, 32 bits per pixel, rows bottom-up (Qt's own writer
// stores 24 bits per pixel).
void SaveBmp32(const QImage& source, const QString& path)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const quint32 rowBytes = image.width() * 4;
    const quint32 pixelBytes = rowBytes * image.height();
    const quint32 headerBytes = 14 + 40;
    QByteArray data(headerBytes + pixelBytes, '\0');
    uchar* d = reinterpret_cast<uchar*>(data.data());
    d[0] = 'B';
    d[1] = 'M';
    qToLittleEndian<quint32>(headerBytes + pixelBytes, d + 2);
    qToLittleEndian<quint32>(headerBytes, d + 10);
    qToLittleEndian<quint32>(40, d + 14);                 // header size
    qToLittleEndian<qint32>(image.width(), d + 18);
    qToLittleEndian<qint32>(image.height(), d + 22);      // positive: bottom-up
    qToLittleEndian<quint16>(1, d + 26);                  // planes
    qToLittleEndian<quint16>(32, d + 28);                 // bits per pixel
    qToLittleEndian<quint32>(0, d + 30);                  // BI_RGB: uncompressed
    qToLittleEndian<quint32>(pixelBytes, d + 34);
    qToLittleEndian<qint32>(3780, d + 38);                // 96 dpi in pixels per metre
    qToLittleEndian<qint32>(3780, d + 42);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(image.height() - 1 - y));
        uchar* out = d + headerBytes + y * rowBytes;
        for (int x = 0; x < image.width(); ++x) {
            out[4 * x + 0] = qBlue(row[x]);
            out[4 * x + 1] = qGreen(row[x]);
            out[4 * x + 2] = qRed(row[x]);
            out[4 * x + 3] = 0;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        Fail(path + ": cannot write");
}

enum class Kind { Jpeg, Bmp };

void Save(const QImage& image, const QString& folder, const QString& name, Kind kind)
{
    if (kind == Kind::Jpeg)
        SaveJpeg(image, folder + "/" + name + ".jpg");
    else
        SaveBmp32(image, folder + "/" + name + ".bmp");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skin <output folder>\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "make_skin: cannot make %s\n", argv[1]);
        return 1;
    }

    for (int size : {16, 32, 48})
        SavePng(Icon(size), out + QString("/tallowick-%1.png").arg(size));
    // Every picture the window shows, at 1x and again at 2x ("name@2x.jpg") for screens
    // at 200 %: drawn anew at double resolution, not enlarged.
    for (const qreal scale : {1.0, 2.0}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        const QImage back = Background(scale);
        Save(back, out, QStringLiteral("imgBack") + suffix, Kind::Jpeg);
        Save(Banner(scale), out, QStringLiteral("imgAd") + suffix, Kind::Jpeg);
        Save(AboutBackground(scale), out, QStringLiteral("AboutBack") + suffix, Kind::Jpeg);

        // Transport buttons: normal and hover JPEG, pressed bitmap; Play's pressed picture is
        // its hover picture, so it has no file of its own.
        const struct {
            const char* name;
            const GlyphFn& glyph;
        } transport[] = {
            {"btnPlay", kPlayGlyph},           {"btnMarkStart", kMarkStartGlyph}, {"btnMarkEnd", kMarkEndGlyph},
            {"btnPlaySelected", kPlaySelectedGlyph}, {"btnMoveLeft", kMoveLeftGlyph}, {"btnMoveRight", kMoveRightGlyph},
            {"MouseEffectImage1", kPauseGlyph}, {"btnSuggest", kSuggestGlyph},
        };
        for (const auto& t : transport) {
            QRect rect;
            bool ownSocket = false;
            for (const RoundButton& b : kTransport)
                if (qstrcmp(b.name, t.name) == 0)
                    rect = b.rect;
            for (const RoundButton& b : kSocketedTransport)
                if (qstrcmp(b.name, t.name) == 0) {
                    rect = b.rect;
                    ownSocket = true;
                }
            const QString name = t.name;
            auto picture = [&](State state) { return RoundButtonPicture(back, rect, t.glyph, state, ownSocket); };
            Save(picture(State::Normal), out, name + suffix, Kind::Jpeg);
            Save(picture(State::Hover), out, name + "_over" + suffix, Kind::Jpeg);
            if (name != "btnPlay")
                Save(picture(State::Pressed), out, name + "_down" + suffix, Kind::Bmp);
        }

        const QRect openRect(26, 254, 108, 32), saveRect(26, 303, 108, 32);
        for (bool open : {true, false}) {
            const QRect rect = open ? openRect : saveRect;
            const QString caption = open ? "Open" : "Save";
            const QString name = "btn" + caption;
            Save(CaptionButtonPicture(back, rect, caption, open, State::Normal), out, name + suffix, Kind::Jpeg);
            Save(CaptionButtonPicture(back, rect, caption, open, State::Hover), out, name + "_over" + suffix, Kind::Jpeg);
            Save(CaptionButtonPicture(back, rect, caption, open, State::Pressed), out, name + "_down" + suffix, Kind::Bmp);
        }

        // Caption buttons: minimise has a bitmap hover and a JPEG pressed picture, close the
        // other way round.
        for (bool close : {false, true}) {
            const QRect rect = close ? kCloseRect : kMinimizeRect;
            const QString name = close ? "btnClose" : "btnMinimize";
            auto picture = [&](State state) {
                QImage image = Piece(back, rect);
                QPainter p(&image);
                CaptionGlyph(p, QRectF(0, 0, rect.width(), rect.height()), close, state);
                return image;
            };
            Save(picture(State::Normal), out, name + suffix, Kind::Jpeg);
            Save(picture(State::Hover), out, name + "_over" + suffix, close ? Kind::Jpeg : Kind::Bmp);
            Save(picture(State::Pressed), out, name + "_down" + suffix, close ? Kind::Bmp : Kind::Jpeg);
        }
    }
    return g_failed ? 1 : 0;
}
