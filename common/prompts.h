#pragma once
// Everything that asks the user something or tells the user something goes through this
// interface: the desktop program implements it with dialogs, korvid-cli with the terminal,
// and the tests with a scripted implementation that records what was shown.

#include <optional>
#include <string>
#include <utility>

namespace korvid {

enum class PromptAnswer { Ok, Cancel };

// The settings of a file dialog that keeps its state between uses, as the desktop
// program's dialogs do: the chosen file name and file type are the starting ones next time.
// Which of a question's two buttons Enter presses.
enum class DefaultChoice { First, Second };

struct FileDialogState {
    std::string title;              // empty: the dialog's default title
    std::string filter;             // pairs of description and patterns: "XML Files|*.xml|..."
    std::string default_extension;  // ".xml"; added to a name typed without an extension
    std::string file_name;          // the starting name; the chosen one after a confirmed use
    int filter_index = 1;           // the chosen pair of the filter, counted from 1
};

class Prompts {
  public:
    virtual ~Prompts() = default;

    // A message box with one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A warning box with "OK" (the default) and "Cancel"; closing the box counts as Cancel.
    virtual PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) = 0;
    // A question with two buttons of the given captions, the one that Enter presses given by
    // default_choice; closing the box counts as the second (Cancel). The plain implementations
    // ask it as OK and Cancel.
    virtual PromptAnswer AskChoice(const std::string& caption, const std::string& text,
                                   const std::string& /*ok_button*/,
                                   const std::string& /*cancel_button*/,
                                   DefaultChoice /*default_choice*/ = DefaultChoice::First) {
        return AskOkCancel(caption, text);
    }
    // A file dialog; no value when the user cancels it.
    virtual std::optional<std::string> AskOpenFileName(const std::string& filter) = 0;
    virtual std::optional<std::string> AskSaveFileName(const std::string& filter,
                                                       const std::string& default_extension) = 0;

    // A save or open dialog that starts from, and updates, the dialog's state. Returns false
    // when the user cancels, leaving the state as it was. The plain implementations ask
    // through the two questions above and keep only the file name.
    virtual bool ExecuteSaveDialog(FileDialogState& dialog) {
        return Store(dialog, AskSaveFileName(dialog.filter, dialog.default_extension));
    }
    virtual bool ExecuteOpenDialog(FileDialogState& dialog) {
        return Store(dialog, AskOpenFileName(dialog.filter));
    }
    // The error box: an error that ended an action, with an error icon and one OK button.
    virtual void ShowError(const std::string& text) { ShowMessage(text); }
    // A lookup that failed: its message ("Cannot Download Page From Website !") and why, in a
    // few words ("the site asked for a browser check"; empty when nothing more is known).
    // Shown as one message of two lines; a front end that tells the cause itself shows only
    // the first.
    virtual void ShowFailure(const std::string& message, const std::string& cause) {
        ShowMessage(cause.empty() ? message : message + "\n" + cause);
    }

  private:
    static bool Store(FileDialogState& dialog, std::optional<std::string> name) {
        if (!name) {
            return false;
        }
        dialog.file_name = std::move(*name);
        return true;
    }
};

}  // namespace korvid
