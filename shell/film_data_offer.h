#pragma once
// The offer of the site's film data. It stands in front of the prompts a lookup reports
// through: a lookup the site answered with its browser check, while no film database answers
// (none is there, or the one there cannot be used), says so and offers to download the data
// and build the database ("Download", "Not now", Enter meaning "Not now") in the same
// message. It is asked once a run: later such failures only point at About Korvid's button.
// Every other prompt passes through unchanged.

#include <functional>
#include <optional>
#include <string>

#include "common/prompts.h"

namespace korvid {

// What the offer says after the failure's two lines; damage, when not empty, is why the
// database that is there cannot be used, and the offer is then to rebuild it.
std::string FilmDataOfferText(const std::string& damage = "");

// What a browser-check failure adds to its cause once the offer was declined.
inline constexpr const char* FilmDataPointer = "Help! \xBB Get the film data";
// What a browser-check failure adds while the film data is on its way, after where the update
// stands ("file 2 of 6").
inline constexpr const char* OnItsWayNote =
    "; lookups answer from it as soon as it is ready";
// What a lookup without a network adds to its cause while no film data answers.
inline constexpr const char* OfflinePointer =
    "the film data answers without a network once it is here: Help! \xBB Get the film data";

class FilmDataOffer : public Prompts {
  public:
    // wanted: whether the offer is to be made now (no database answers, no update running);
    // damage: why the database there cannot be used, empty when there is none;
    // accepted: runs once the message is closed with "Download";
    // coming: where a running update stands ("file 2 of 6"), empty when none runs.
    FilmDataOffer(Prompts& inner, std::function<bool()> wanted, std::function<std::string()> damage,
                  std::function<void()> accepted, std::function<std::string()> coming = {});

    Prompts& Inner() const { return inner_; }

    void ShowFailure(const std::string& message, const std::string& cause) override;

    void ShowMessage(const std::string& text) override { inner_.ShowMessage(text); }
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override {
        return inner_.AskOkCancel(caption, text);
    }
    PromptAnswer AskChoice(const std::string& caption, const std::string& text,
                           const std::string& ok_button, const std::string& cancel_button,
                           DefaultChoice default_choice = DefaultChoice::First) override {
        return inner_.AskChoice(caption, text, ok_button, cancel_button, default_choice);
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
    std::function<std::string()> damage_;
    std::function<void()> accepted_;
    std::function<std::string()> coming_;
    bool asked_ = false;  // the offer was made this run
};

}  // namespace korvid
