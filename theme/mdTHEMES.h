#pragma once
// The desktop's visual-styles library "uxtheme.dll": loaded at start-up, its drawing entry
// points looked up by name into a table of typed function pointers, released at shutdown.
// Start-up calls LoadThemeLibrary once; shutdown calls FreeThemeLibrary once. A missing
// library is not an error: nothing is shown and every pointer stays null.
//
// The pointer types follow the library's documented signatures, written with Windows-style
// names declared here. The library's calling convention (stdcall) is the platform's only
// one on x86-64 Linux, so no convention is spelled out.

#include <array>
#include <cstdint>
#include <string_view>

#include "common/dynamic_library.h"

namespace korvid {

// Windows-style types for the entry-point signatures.
using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using HRESULT = std::int32_t;
using COLORREF = std::uint32_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using HTHEME = void*;
using HWND = void*;
using HDC = void*;
using HRGN = void*;
using HBRUSH = void*;
using HIMAGELIST = void*;
using THEMESIZE = std::int32_t;  // TS_MIN 0, TS_TRUE 1, TS_DRAW 2

struct RECT {
    LONG left, top, right, bottom;
};
struct POINT {
    LONG x, y;
};
struct SIZE {
    LONG cx, cy;
};
struct MARGINS {
    std::int32_t cxLeftWidth, cxRightWidth, cyTopHeight, cyBottomHeight;
};
struct INTLIST {
    std::int32_t iValueCount;
    std::int32_t iValues[402];
};
struct LOGFONTW {
    LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
    BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
        lfPitchAndFamily;
    WCHAR lfFaceName[32];
};
struct TEXTMETRICW {
    LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth,
        tmMaxCharWidth, tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY;
    WCHAR tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
    BYTE tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

// The pointer type of each entry point.
using OpenThemeDataProc = HTHEME (*)(HWND, LPCWSTR);
using CloseThemeDataProc = HRESULT (*)(HTHEME);
using DrawThemeBackgroundProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
using DrawThemeTextProc = HRESULT (*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD,
                                      const RECT*);
using GetThemeBackgroundContentRectProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, RECT*);
using GetThemeBackgroundExtentProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, RECT*);
using GetThemeTextExtentProc = HRESULT (*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, const RECT*,
                                           RECT*);
using GetThemePartSizeProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, THEMESIZE, SIZE*);
using GetThemeTextMetricsProc = HRESULT (*)(HTHEME, HDC, int, int, TEXTMETRICW*);
using GetThemeBackgroundRegionProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, HRGN*);
using HitTestThemeBackgroundProc = HRESULT (*)(HTHEME, HDC, int, int, DWORD, const RECT*, HRGN,
                                               POINT, WORD*);
using DrawThemeEdgeProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, UINT, UINT, RECT*);
using DrawThemeIconProc = HRESULT (*)(HTHEME, HDC, int, int, const RECT*, HIMAGELIST, int);
using IsThemePartDefinedProc = BOOL (*)(HTHEME, int, int);
using IsThemeBackgroundPartiallyTransparentProc = BOOL (*)(HTHEME, int, int);
using GetThemeColorProc = HRESULT (*)(HTHEME, int, int, int, COLORREF*);
using GetThemeMetricProc = HRESULT (*)(HTHEME, HDC, int, int, int, int*);
using GetThemeStringProc = HRESULT (*)(HTHEME, int, int, int, LPWSTR, int);
using GetThemeBoolProc = HRESULT (*)(HTHEME, int, int, int, BOOL*);
using GetThemeIntProc = HRESULT (*)(HTHEME, int, int, int, int*);
using GetThemeEnumValueProc = HRESULT (*)(HTHEME, int, int, int, int*);
using GetThemePositionProc = HRESULT (*)(HTHEME, int, int, int, POINT*);
using GetThemeFontProc = HRESULT (*)(HTHEME, HDC, int, int, int, LOGFONTW*);
using GetThemeRectProc = HRESULT (*)(HTHEME, int, int, int, RECT*);
using GetThemeMarginsProc = HRESULT (*)(HTHEME, HDC, int, int, int, const RECT*, MARGINS*);
using GetThemeIntListProc = HRESULT (*)(HTHEME, int, int, int, INTLIST*);
using SetWindowThemeProc = HRESULT (*)(HWND, LPCWSTR, LPCWSTR);
using GetThemeFilenameProc = HRESULT (*)(HTHEME, int, int, int, LPWSTR, int);
using GetThemeSysColorProc = COLORREF (*)(HTHEME, int);
using GetThemeSysColorBrushProc = HBRUSH (*)(HTHEME, int);
using GetThemeSysBoolProc = BOOL (*)(HTHEME, int);
using GetThemeSysSizeProc = int (*)(HTHEME, int);
using GetThemeSysFontProc = HRESULT (*)(HTHEME, int, LOGFONTW*);
using GetThemeSysStringProc = HRESULT (*)(HTHEME, int, LPWSTR, int);
using GetThemeSysIntProc = HRESULT (*)(HTHEME, int, int*);
using IsThemeActiveProc = BOOL (*)();
using IsAppThemedProc = BOOL (*)();
using GetWindowThemeProc = HTHEME (*)(HWND);
using EnableThemeDialogTextureProc = HRESULT (*)(HWND, DWORD);
using IsThemeDialogTextureEnabledProc = BOOL (*)(HWND);
using GetThemeAppPropertiesProc = DWORD (*)();
using SetThemeAppPropertiesProc = void (*)(DWORD);
using GetCurrentThemeNameProc = HRESULT (*)(LPWSTR, int, LPWSTR, int, LPWSTR, int);
using GetThemeDocumentationPropertyProc = HRESULT (*)(LPCWSTR, LPCWSTR, LPWSTR, int);
using DrawThemeParentBackgroundProc = HRESULT (*)(HWND, HDC, const RECT*);
using EnableThemingProc = HRESULT (*)(BOOL);

// The module's state: one copy for the program.
extern DynamicLibrary ThemeLibrary;  // empty when the library was not loaded
extern bool ThemeLibraryLoaded;      // true between a successful load and the release

// The entry-point table, in the order the names are looked up. Null when the library does
// not export the name, and null again once the library is released.
extern OpenThemeDataProc OpenThemeData;
extern CloseThemeDataProc CloseThemeData;
extern DrawThemeBackgroundProc DrawThemeBackground;
extern DrawThemeTextProc DrawThemeText;
extern GetThemeBackgroundContentRectProc GetThemeBackgroundContentRect;
extern GetThemeBackgroundExtentProc GetThemeBackgroundExtent;
extern GetThemeTextExtentProc GetThemeTextExtent;
extern GetThemePartSizeProc GetThemePartSize;
extern GetThemeTextMetricsProc GetThemeTextMetrics;
extern GetThemeBackgroundRegionProc GetThemeBackgroundRegion;
extern HitTestThemeBackgroundProc HitTestThemeBackground;
extern DrawThemeEdgeProc DrawThemeEdge;
extern DrawThemeIconProc DrawThemeIcon;
extern IsThemePartDefinedProc IsThemePartDefined;
extern IsThemeBackgroundPartiallyTransparentProc IsThemeBackgroundPartiallyTransparent;
extern GetThemeColorProc GetThemeColor;
extern GetThemeMetricProc GetThemeMetric;
extern GetThemeStringProc GetThemeString;
extern GetThemeBoolProc GetThemeBool;
extern GetThemeIntProc GetThemeInt;
extern GetThemeEnumValueProc GetThemeEnumValue;
extern GetThemePositionProc GetThemePosition;
extern GetThemeFontProc GetThemeFont;
extern GetThemeRectProc GetThemeRect;
extern GetThemeMarginsProc GetThemeMargins;
extern GetThemeIntListProc GetThemeIntList;
extern SetWindowThemeProc SetWindowTheme;
extern GetThemeFilenameProc GetThemeFilename;
extern GetThemeSysColorProc GetThemeSysColor;
extern GetThemeSysColorBrushProc GetThemeSysColorBrush;
extern GetThemeSysBoolProc GetThemeSysBool;
extern GetThemeSysSizeProc GetThemeSysSize;
extern GetThemeSysFontProc GetThemeSysFont;
extern GetThemeSysStringProc GetThemeSysString;
extern GetThemeSysIntProc GetThemeSysInt;
extern IsThemeActiveProc IsThemeActive;
extern IsAppThemedProc IsAppThemed;
extern GetWindowThemeProc GetWindowTheme;
extern EnableThemeDialogTextureProc EnableThemeDialogTexture;
extern IsThemeDialogTextureEnabledProc IsThemeDialogTextureEnabled;
extern GetThemeAppPropertiesProc GetThemeAppProperties;
extern SetThemeAppPropertiesProc SetThemeAppProperties;
extern GetCurrentThemeNameProc GetCurrentThemeName;
extern GetThemeDocumentationPropertyProc GetThemeDocumentationProperty;
extern DrawThemeParentBackgroundProc DrawThemeParentBackground;
extern EnableThemingProc EnableTheming;

// Loads "uxtheme.dll" and looks up every entry point. When the library cannot be loaded
// nothing is shown: ThemeLibraryLoaded stays false and every pointer stays null. A name the
// library does not export leaves its pointer null; the library still counts as loaded.
void LoadThemeLibrary();

// Releases the library once if it was loaded (and clears the table, whose addresses would
// point into released code); otherwise does nothing.
void FreeThemeLibrary();

// Each entry point's name and the address its pointer holds now, in lookup order.
struct ThemeEntryPoint {
    std::string_view Name;
    const void* Address;
};
inline constexpr std::size_t ThemeEntryPointCount = 46;
std::array<ThemeEntryPoint, ThemeEntryPointCount> ThemeEntryPoints();

}  // namespace korvid
