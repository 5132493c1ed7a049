#pragma once
// The fonts of the window layouts, asked for by name so a system that has them uses them.
// Debian has none of them; free families of close metrics stand in for each.

#include <QFont>
#include <QString>

namespace korvid {

// A font of the layout: the family and the character height in pixels.
QFont LayoutFont(const QString& family, int pixel_size, bool bold = false, bool italic = false);

}  // namespace korvid
