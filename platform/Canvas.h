#pragma once
// A drawing surface over a bitmap (QImage) with the pixel rules of classic GDI drawing,
// which the strip renderer relies on:
//  - LineTo draws from the pen position to the given point, leaving out the end point;
//  - FillRect fills from (left, top) up to but not including (right, bottom); a rectangle
//    whose right lies left of its left (or bottom above top) fills nothing;
//  - Polygon fills with the brush colour and outlines with the pen colour;
//  - TextOut writes in the font colour on a transparent background, the text's cell
//    having its top-left corner at the given point;
//  - the pen mode is Copy or Xor (the pen colour combined with the pixels beneath).
// Nothing is anti-aliased. Colours are 0x00BBGGRR values, red in the low byte.
// Drawing writes the bitmap's pixels directly, a row's run of pixels at a time, so that a
// view of the strip is redrawn in little more time than a plain fill of its pixels. An
// origin column lets a drawing made in the coordinates of something much wider than the
// bitmap (the whole strip) land on the bitmap with only the columns that lie on it drawn:
// the shapes are worked out in the drawing's coordinates and only the pixels are moved, so
// each pixel comes out as it would on a wide bitmap.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

using TColor = std::uint32_t;

enum class TPenMode { Copy, Xor };

class TCanvas {
public:
    // The bitmap is not owned; it may be null, and then nothing is drawn.
    explicit TCanvas(QImage* bitmap = nullptr);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // Points the canvas at another bitmap (or the same one after it was reallocated).
    void SetBitmap(QImage* bitmap);
    QImage* Bitmap() const { return bitmap_; }

    // The drawing's column that lands on the bitmap's left edge (0 unless set): drawing at
    // column x writes the bitmap's column x - origin.
    void SetOriginColumn(int column) { originColumn_ = column; }
    int OriginColumn() const { return originColumn_; }

    void SetPenColor(TColor color) { penColor_ = color; }
    TColor PenColor() const { return penColor_; }
    void SetPenMode(TPenMode mode) { penMode_ = mode; }
    TPenMode PenMode() const { return penMode_; }
    void SetBrushColor(TColor color) { brushColor_ = color; }
    TColor BrushColor() const { return brushColor_; }
    void SetFont(const QFont& font, TColor color);
    const QFont& Font() const { return font_; }
    TColor FontColor() const { return fontColor_; }
    QPoint PenPos() const { return penPos_; }
    // How many rendered texts are kept for reuse.
    qsizetype CachedTexts() const { return qsizetype(textCache_.size()); }

    void FillRect(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polygon(const QPoint* points, int count);
    void TextOut(int x, int y, const QString& text);
    // The same for a text of Latin-1 characters, such as a number made on the stack: a text
    // drawn before is found again without making a QString.
    void TextOut(int x, int y, QLatin1String text);
    // Vertical lines of the pen, one a column from firstColumn on: for column firstColumn + i
    // the line that MoveTo(column, centreRow - heights[i]) and LineTo(column, centreRow +
    // heights[i]) draw, end point left out, in the pen's colour and mode. The pen position
    // stays where it was. The lines are written row by row, along the bitmap's rows.
    void VerticalBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow);
    // FillRect(firstColumn, fillTop, firstColumn + count, fillBottom) in the brush's colour and
    // then VerticalBars, in one pass over the pixels: each pixel of the fill is written once.
    void FillWithVerticalBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow,
                              int fillTop, int fillBottom);
    // The rows that a text's cell takes in the current font: TextOut writes only rows
    // y .. y + TextCellHeight() - 1.
    int TextCellHeight();

    // Drawing between BeginUpdate and EndUpdate reports one change at the end.
    void BeginUpdate();
    void EndUpdate();

    // Called after drawing changed the bitmap, so that its owner can show the new content.
    std::function<void()> OnChange;

private:
    // Looks up the bitmap's pixels; false when there is no bitmap to draw on.
    bool Ready();
    std::uint32_t* Row(int y) { return pixels_ + stride_ * y; }
    void Changed();
    // These three take the drawing's columns and move them by the origin.
    void Plot(int64_t x, int y, TColor color, TPenMode mode);
    void VerticalRun(int64_t x, int64_t top, int64_t bottom, TColor color, TPenMode mode);   // bottom excluded
    void HorizontalRun(int y, int64_t left, int64_t right, TColor color, TPenMode mode);   // right excluded
    void Segment(QPoint from, QPoint to);   // the pen's line, end point excluded
    void DrawBars(int64_t firstColumn, const std::int32_t* heights, int count, int centreRow, int fillTop, int fillBottom);

    // A text as drawn in the font and its colour, kept as the runs of its pixels that are
    // written (a text's cell is mostly left as it is), so that drawing it again only fills
    // those runs.
    struct RenderedText {
        struct Run {
            int row;
            int left, right;   // right excluded
        };
        std::vector<Run> runs;
    };
    const RenderedText& Rendered(const std::u16string& key);
    void DrawRendered(int x, int y, const RenderedText& text);

    QImage* bitmap_ = nullptr;
    std::uint32_t* pixels_ = nullptr;   // looked up by Ready, kept through a batch
    qsizetype stride_ = 0;              // in pixels
    int width_ = 0;
    int height_ = 0;
    int originColumn_ = 0;
    int updateDepth_ = 0;
    bool changedInUpdate_ = false;
    TColor penColor_ = 0x000000;
    TColor brushColor_ = 0xFFFFFF;
    TPenMode penMode_ = TPenMode::Copy;
    QFont font_;
    int textCellHeight_ = 0;   // worked out when first asked for, 0 until then
    TColor fontColor_ = 0x000000;
    QPoint penPos_;
    // Rendered texts in the current font and colour, by their characters (short keys are
    // held without allocation). The ruler shows a few dozen numbers at a time, each of them
    // again at every redraw; the cache is emptied when it grows past a bound, so that a long
    // strip scrolled end to end does not fill it.
    std::unordered_map<std::u16string, RenderedText> textCache_;
    static constexpr std::size_t kMaxCachedTexts = 256;
    std::u16string keyScratch_;
    // Kept from one drawing to the next, so that drawing allocates nothing once warm.
    std::vector<std::int32_t> barTops_, barEnds_;
    std::vector<double> crossings_;
};

QColor ToQColor(TColor color);
// The colour as a pixel of a 32-bit image (0xFFRRGGBB).
std::uint32_t ToPixel(TColor color);
