#include "shell/dataset_folder_picker.h"

#include <QFile>
#include <QFileDialog>

namespace korvid {

std::optional<std::string> PickDatasetFolder(QWidget* parent) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QString::fromLatin1(DatasetFolderCaption), QString(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(folder).toStdString();
}

}  // namespace korvid
