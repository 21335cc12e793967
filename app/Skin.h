#pragma once
// The skin: the pictures stored under ":/skin/" (drawn by resources/skin/make_skin.cpp),
// the fonts and the icon shared by the main window and the About dialog.
#include <QFont>
#include <QIcon>
#include <QString>

#include "platform/ImageControl.h"

// The window font: DejaVu Sans at a pixel size, so that the layout (designed at 96 dots
// per inch, 8 points = 11 pixels) does not depend on the screen's resolution.
QFont SkinFont(int pixelSize, bool bold = false);
// 8 points at 96 dots per inch.
inline constexpr int kSkinFontPixels = 11;

// One skin picture by file name ("imgBack.jpg"), with its 2x drawing ("imgBack@2x.jpg")
// for screens at 200 %; empty when there is no such picture.
TPicture SkinPicture(const QString& fileName);

// The program's icon in 16, 32 and 48 pixels.
QIcon SkinIcon();
