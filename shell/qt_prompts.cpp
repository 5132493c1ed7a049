#include "shell/qt_prompts.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QPushButton>

#include "shell/latin1_text.h"

namespace korvid {
namespace {

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

// Every box's caption, also before the application has its name (the start-up box).
const QString BoxCaption = QStringLiteral("Korvid");

// File names are bytes in the system's file name encoding, not Latin-1 page text.
std::string FileNameBytes(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString FileNameText(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}

// Messages carry file names and causes from servers: never read as rich text.
void ShowBox(QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, BoxCaption, FromBytes(text), QMessageBox::Ok, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

QStringList NameFiltersFromFilter(const std::string& filter) {
    const QStringList parts = FromBytes(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = parts[i + 1];
        // A description that already ends in its patterns ("All (*.jpeg;*.jpg)", as the
        // picture filter's do) names them once: Qt adds them itself.
        const QString suffix = " (" + patterns + ")";
        if (description.endsWith(suffix)) {
            description.chop(suffix.size());
        }
        patterns.replace(';', ' ');
        filters << description + " (" + patterns.trimmed() + ")";
    }
    return filters;
}

void QtPrompts::ShowMessage(const std::string& text) {
    ShowBox(QMessageBox::NoIcon, text);
}

PromptAnswer QtPrompts::AskOkCancel(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, FromBytes(caption), FromBytes(text),
                    QMessageBox::Ok | QMessageBox::Cancel, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
}

PromptAnswer QtPrompts::AskChoice(const std::string& caption, const std::string& text,
                                  const std::string& ok_button, const std::string& cancel_button,
                                  DefaultChoice default_choice) {
    QMessageBox box(QMessageBox::Question, FromBytes(caption), FromBytes(text),
                    QMessageBox::NoButton, DialogParent());
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(FromBytes(ok_button), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(FromBytes(cancel_button), QMessageBox::RejectRole);
    box.setDefaultButton(default_choice == DefaultChoice::First ? ok : cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
}

void QtPrompts::ShowError(const std::string& text) {
    ShowBox(QMessageBox::Critical, text);
}

std::optional<std::string> QtPrompts::AskOpenFileName(const std::string& filter) {
    FileDialogState dialog;
    dialog.filter = filter;
    if (!ExecuteDialog(dialog, false)) {
        return std::nullopt;
    }
    return dialog.file_name;
}

std::optional<std::string> QtPrompts::AskSaveFileName(const std::string& filter,
                                                      const std::string& default_extension) {
    FileDialogState dialog;
    dialog.filter = filter;
    dialog.default_extension = default_extension;
    if (!ExecuteDialog(dialog, true)) {
        return std::nullopt;
    }
    return dialog.file_name;
}

bool QtPrompts::ExecuteSaveDialog(FileDialogState& dialog) {
    return ExecuteDialog(dialog, true);
}

bool QtPrompts::ExecuteOpenDialog(FileDialogState& dialog) {
    return ExecuteDialog(dialog, false);
}

bool QtPrompts::ExecuteDialog(FileDialogState& dialog, bool save) {
    QFileDialog box(DialogParent(), FromBytes(dialog.title));
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // An existing file is replaced without a question, as the saved documents always were.
    box.setOption(QFileDialog::DontConfirmOverwrite, true);
    // The dialog keeps each filter with its runs of spaces made one, and gives back the chosen
    // one so; compared in that form, a description ending in a space is found again.
    QStringList filters = NameFiltersFromFilter(dialog.filter);
    for (QString& filter : filters) {
        filter = filter.simplified();
    }
    box.setNameFilters(filters);
    if (dialog.filter_index >= 1 && dialog.filter_index <= filters.size()) {
        box.selectNameFilter(filters[dialog.filter_index - 1]);
    }
    QString suffix = FromBytes(dialog.default_extension);
    if (suffix.startsWith('.')) {
        suffix.remove(0, 1);
    }
    // A name typed without an extension gets the one of the chosen file type ("CSV Files"
    // gives ".csv"), and the default extension under a type of several ("All") or of no one
    // extension ("*.*").
    const auto follow_type = [&box, suffix](const QString& filter) {
        const qsizetype open = filter.lastIndexOf('(');
        QString pattern;
        if (open >= 0 && filter.endsWith(')')) {
            pattern = filter.mid(open + 1, filter.size() - open - 2);
        }
        const bool plain = pattern.startsWith("*.") && pattern.size() > 2 &&
                           !pattern.mid(2).contains(QRegularExpression("[*?\\[ ]"));
        box.setDefaultSuffix(plain ? pattern.mid(2) : suffix);
    };
    box.setDefaultSuffix(suffix);
    if (save) {
        QObject::connect(&box, &QFileDialog::filterSelected, &box, follow_type);
        follow_type(box.selectedNameFilter());
    }
    if (!dialog.file_name.empty()) {
        box.selectFile(FileNameText(dialog.file_name));
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return false;
    }
    dialog.file_name = FileNameBytes(box.selectedFiles().constFirst());
    dialog.filter_index = static_cast<int>(filters.indexOf(box.selectedNameFilter())) + 1;
    if (dialog.filter_index < 1) {
        dialog.filter_index = 1;
    }
    return true;
}

}  // namespace korvid
