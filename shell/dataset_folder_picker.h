#pragma once
// "Build from a folder ..." of About Korvid: the folder picker for the data-set files a user
// fetched elsewhere. The update then reads them from there, as korvid-cli dataset update
// --from FOLDER does.

#include <optional>
#include <string>

class QWidget;

namespace korvid {

inline constexpr const char* DatasetFolderCaption = "The folder of the downloaded data-set files";

// The folder chosen; nothing when the picker was cancelled.
std::optional<std::string> PickDatasetFolder(QWidget* parent);

}  // namespace korvid
