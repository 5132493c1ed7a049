#pragma once
// The desktop program's prompts: message boxes and file dialogs on Qt Widgets.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "common/prompts.h"

class QWidget;

namespace korvid {

// A filter in the "description|patterns|description|patterns" form, as Qt's name filters:
// "description (pattern pattern)". The patterns of a pair are separated by ";".
QStringList NameFiltersFromFilter(const std::string& filter);

class QtPrompts : public Prompts {
  public:
    // Boxes and dialogs open over the application's active window.
    QtPrompts() = default;

    void ShowMessage(const std::string& text) override;
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override;
    PromptAnswer AskChoice(const std::string& caption, const std::string& text,
                           const std::string& ok_button, const std::string& cancel_button,
                           DefaultChoice default_choice = DefaultChoice::First) override;
    std::optional<std::string> AskOpenFileName(const std::string& filter) override;
    std::optional<std::string> AskSaveFileName(const std::string& filter,
                                               const std::string& default_extension) override;
    bool ExecuteSaveDialog(FileDialogState& dialog) override;
    bool ExecuteOpenDialog(FileDialogState& dialog) override;
    void ShowError(const std::string& text) override;

  private:
    bool ExecuteDialog(FileDialogState& dialog, bool save);
};

}  // namespace korvid
