#pragma once
// Everything that asks the user something or tells the user something goes through this
// interface: the desktop program implements it with dialogs, korvid-cli with the terminal,
// and the tests with a scripted implementation that records what was shown.

#include <optional>
#include <string>

namespace korvid {

enum class PromptAnswer { Ok, Cancel };

class Prompts {
  public:
    virtual ~Prompts() = default;

    // A message box with one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A warning box with "OK" (the default) and "Cancel"; closing the box counts as Cancel.
    virtual PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) = 0;
    // A file dialog; no value when the user cancels it.
    virtual std::optional<std::string> AskOpenFileName(const std::string& filter) = 0;
    virtual std::optional<std::string> AskSaveFileName(const std::string& filter,
                                                       const std::string& default_extension) = 0;
};

}  // namespace korvid
