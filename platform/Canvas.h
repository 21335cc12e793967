#pragma once
// A drawing surface over a bitmap (QImage) with the pixel rules of classic GDI drawing,
// which the strip renderer relies on:
//  - LineTo draws from the pen position to the given point, leaving out the end point;
//  - FillRect fills from (left, top) up to but not including (right, bottom);
//  - Polygon fills with the brush colour and outlines with the pen colour;
//  - TextOut writes in the font colour on a transparent background;
//  - the pen mode is Copy or Xor (the pen colour combined with the pixels beneath).
// Colours are 0x00BBGGRR values, red in the low byte.
#include <QFont>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QImage;
class QPainter;

using TColor = std::uint32_t;

enum class TPenMode { Copy, Xor };

class TCanvas {
public:
    // The bitmap is not owned; it may be null, and then nothing is drawn.
    explicit TCanvas(QImage* bitmap = nullptr);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // Points the canvas at another bitmap (or the same one after it was reallocated).
    void SetBitmap(QImage* bitmap);
    QImage* Bitmap() const { return bitmap_; }

    void SetPenColor(TColor color);
    TColor PenColor() const { return penColor_; }
    void SetPenMode(TPenMode mode);
    TPenMode PenMode() const { return penMode_; }
    void SetBrushColor(TColor color);
    TColor BrushColor() const { return brushColor_; }
    void SetFont(const QFont& font, TColor color);
    const QFont& Font() const { return font_; }

    void FillRect(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polygon(const QPoint* points, int count);
    void TextOut(int x, int y, const QString& text);

    // Drawing between BeginUpdate and EndUpdate shares one painter and reports one change.
    void BeginUpdate();
    void EndUpdate();

    // Called after drawing changed the bitmap, so that its owner can show the new content.
    std::function<void()> OnChange;

private:
    QPainter& Painter();
    void Changed();

    QImage* bitmap_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    int updateDepth_ = 0;
    bool changedInUpdate_ = false;
    TColor penColor_ = 0x000000;
    TColor brushColor_ = 0xFFFFFF;
    TPenMode penMode_ = TPenMode::Copy;
    QFont font_;
    TColor fontColor_ = 0x000000;
    QPoint penPos_;
};

QColor ToQColor(TColor color);
