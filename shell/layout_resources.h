#pragma once
// The pictures stored with the window layouts (the banner logo, the toolbar icons) are Qt
// resources compiled into the shell library; a static library must register them by hand.

#include <QString>
#include <string>

namespace korvid {

// The banner logo of both windows, JPEG data.
inline const QString LogoResource = QStringLiteral(":/korvid/logo.jpg");

// Registers the layout resources once; later calls do nothing.
void InitLayoutResources();

// The bytes of a layout resource; empty when there is no such resource.
std::string LayoutResourceBytes(const QString& path);

}  // namespace korvid
