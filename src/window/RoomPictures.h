#pragma once

#include <QIcon>
#include <QString>

// The room pictures of the board and the rooms window (bitmaps in the
// program's pic folder).

// The system icon size the room pictures are scaled to.
inline constexpr int SystemIconSize = 32;
// An icon of the bitmap stretched to the icon size, whose pixels of the
// bitmap's transparent colour (its bottom-left pixel, compared on 24 colour
// bits) are transparent. A missing or unreadable file gives a null icon.
QIcon BitmapToIcon(const QString& fileName);
