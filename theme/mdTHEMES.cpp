#include "theme/mdTHEMES.h"

#include <bit>
#include <type_traits>

namespace korvid {

DynamicLibrary ThemeLibrary;
bool ThemeLibraryLoaded = false;

// The entry points in lookup order; every list below is generated from this one.
#define KORVID_THEME_ENTRY_POINTS(X)         \
    X(OpenThemeData)                         \
    X(CloseThemeData)                        \
    X(DrawThemeBackground)                   \
    X(DrawThemeText)                         \
    X(GetThemeBackgroundContentRect)         \
    X(GetThemeBackgroundExtent)              \
    X(GetThemeTextExtent)                    \
    X(GetThemePartSize)                      \
    X(GetThemeTextMetrics)                   \
    X(GetThemeBackgroundRegion)              \
    X(HitTestThemeBackground)                \
    X(DrawThemeEdge)                         \
    X(DrawThemeIcon)                         \
    X(IsThemePartDefined)                    \
    X(IsThemeBackgroundPartiallyTransparent) \
    X(GetThemeColor)                         \
    X(GetThemeMetric)                        \
    X(GetThemeString)                        \
    X(GetThemeBool)                          \
    X(GetThemeInt)                           \
    X(GetThemeEnumValue)                     \
    X(GetThemePosition)                      \
    X(GetThemeFont)                          \
    X(GetThemeRect)                          \
    X(GetThemeMargins)                       \
    X(GetThemeIntList)                       \
    X(SetWindowTheme)                        \
    X(GetThemeFilename)                      \
    X(GetThemeSysColor)                      \
    X(GetThemeSysColorBrush)                 \
    X(GetThemeSysBool)                       \
    X(GetThemeSysSize)                       \
    X(GetThemeSysFont)                       \
    X(GetThemeSysString)                     \
    X(GetThemeSysInt)                        \
    X(IsThemeActive)                         \
    X(IsAppThemed)                           \
    X(GetWindowTheme)                        \
    X(EnableThemeDialogTexture)              \
    X(IsThemeDialogTextureEnabled)           \
    X(GetThemeAppProperties)                 \
    X(SetThemeAppProperties)                 \
    X(GetCurrentThemeName)                   \
    X(GetThemeDocumentationProperty)         \
    X(DrawThemeParentBackground)             \
    X(EnableTheming)

#define KORVID_DEFINE_POINTER(name) name##Proc name = nullptr;
KORVID_THEME_ENTRY_POINTS(KORVID_DEFINE_POINTER)
#undef KORVID_DEFINE_POINTER

namespace {

// Stores an address from the library into one typed pointer of the table, and reads it back.
template <auto* Slot>
struct Entry {
    using Pointer = std::remove_pointer_t<decltype(Slot)>;
    static_assert(sizeof(Pointer) == sizeof(void*));
    static void Store(void* address) { *Slot = std::bit_cast<Pointer>(address); }
    static const void* Load() { return std::bit_cast<const void*>(*Slot); }
};

struct EntrySlot {
    const char* Name;
    void (*Store)(void*);
    const void* (*Load)();
};

#define KORVID_ENTRY_SLOT(name) EntrySlot{#name, &Entry<&name>::Store, &Entry<&name>::Load},
constexpr EntrySlot kEntrySlots[] = {KORVID_THEME_ENTRY_POINTS(KORVID_ENTRY_SLOT)};
#undef KORVID_ENTRY_SLOT

static_assert(std::size(kEntrySlots) == ThemeEntryPointCount);

void ClearTable() {
    for (const EntrySlot& slot : kEntrySlots) {
        slot.Store(nullptr);
    }
}

}  // namespace

void LoadThemeLibrary() {
    ThemeLibraryLoaded = false;
    // Windows needs its error mode switched so a missing library shows no box; dlopen never
    // shows one. Assigning closes a library still held from an earlier load.
    ThemeLibrary = DynamicLibrary::Open("uxtheme.dll");
    if (!ThemeLibrary) {
        ClearTable();
        return;
    }
    for (const EntrySlot& slot : kEntrySlots) {
        slot.Store(ThemeLibrary.Symbol(slot.Name));
    }
    ThemeLibraryLoaded = true;
}

void FreeThemeLibrary() {
    if (!ThemeLibraryLoaded) {
        return;
    }
    ThemeLibraryLoaded = false;
    ClearTable();
    ThemeLibrary.Close();
}

std::array<ThemeEntryPoint, ThemeEntryPointCount> ThemeEntryPoints() {
    std::array<ThemeEntryPoint, ThemeEntryPointCount> points{};
    for (std::size_t i = 0; i < ThemeEntryPointCount; ++i) {
        points[i] = {kEntrySlots[i].Name, kEntrySlots[i].Load()};
    }
    return points;
}

}  // namespace korvid
