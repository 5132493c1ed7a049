#pragma once
// The offer of the site's film data. It stands in front of the prompts a lookup reports
// through: a lookup the site answered with its browser check, while no film database is
// there, says so and offers to download the data ("Download", "Not now") in the same message.
// Every other prompt passes through unchanged.

#include <functional>
#include <optional>
#include <string>

#include "common/prompts.h"

namespace korvid {

// What the offer says after the failure's two lines.
std::string FilmDataOfferText();

class FilmDataOffer : public Prompts {
  public:
    // wanted: whether the offer is to be made now (no database there, no update running);
    // accepted: runs once the message is closed with "Download".
    FilmDataOffer(Prompts& inner, std::function<bool()> wanted, std::function<void()> accepted);

    Prompts& Inner() const { return inner_; }

    void ShowFailure(const std::string& message, const std::string& cause) override;

    void ShowMessage(const std::string& text) override { inner_.ShowMessage(text); }
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override {
        return inner_.AskOkCancel(caption, text);
    }
    PromptAnswer AskChoice(const std::string& caption, const std::string& text,
                           const std::string& ok_button,
                           const std::string& cancel_button) override {
        return inner_.AskChoice(caption, text, ok_button, cancel_button);
    }
    std::optional<std::string> AskOpenFileName(const std::string& filter) override {
        return inner_.AskOpenFileName(filter);
    }
    std::optional<std::string> AskSaveFileName(const std::string& filter,
                                               const std::string& default_extension) override {
        return inner_.AskSaveFileName(filter, default_extension);
    }
    bool ExecuteSaveDialog(FileDialogState& dialog) override {
        return inner_.ExecuteSaveDialog(dialog);
    }
    bool ExecuteOpenDialog(FileDialogState& dialog) override {
        return inner_.ExecuteOpenDialog(dialog);
    }
    void ShowError(const std::string& text) override { inner_.ShowError(text); }

  private:
    Prompts& inner_;
    std::function<bool()> wanted_;
    std::function<void()> accepted_;
};

}  // namespace korvid
