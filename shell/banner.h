#pragma once
// The white banner across the top of both windows: the logo at the left and the captions
// beside it.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <optional>
#include <span>
#include <vector>

class QLabel;
class QWidget;

namespace korvid {

class TImage;

struct BannerCaption {
    const char* name;
    const char* text;
    QPoint position;
    QFont font;
    // The text's colour; none keeps the window text colour.
    std::optional<QColor> colour;
    // The caption's size at least; a dimension of 0 takes the text's. A caption grows with its
    // text, so a wider stand-in font cannot cut off its last letters.
    QSize size;
};

struct Banner {
    TImage* logo;                   // "Image2"
    std::vector<QLabel*> captions;  // in the order given
};

// Turns the panel into the banner: white, in the given font, holding the logo (the layout's
// JPEG data, 105 x 68 at 16, -4; empty while the JPEG format is not registered) and then the
// captions as plain-text labels.
Banner FillBanner(QWidget* panel, const QFont& font, std::span<const BannerCaption> captions);

}  // namespace korvid
