#pragma once
// The fonts of the window layouts, asked for by name so a system that has them uses them.
// Debian has none of them; free families of close metrics stand in for each.

#include <QFont>
#include <QString>

namespace korvid {

// A font of the layout: the family and the character height in pixels.
QFont LayoutFont(const QString& family, int pixel_size, bool bold = false, bool italic = false);

// Makes the forms' font (Tahoma, 11 pixels) the application's. A line edit lays out its empty
// text with the application's font as it is made, before its form's font reaches it; with
// another font there, start-up opens one more font file than the window shows.
void UseFormFontForTheApplication();

}  // namespace korvid
