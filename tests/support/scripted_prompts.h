#pragma once
// A Prompts implementation for tests: records every message and question, answers
// questions and file dialogs from queues set up by the test (OK / no file when empty).

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/prompts.h"

namespace korvid::test_support {

class ScriptedPrompts : public Prompts {
  public:
    struct Question {
        std::string caption;
        std::string text;
        std::string ok_button = "OK";
        std::string cancel_button = "Cancel";
        DefaultChoice default_choice = DefaultChoice::First;
    };

    std::vector<std::string> messages;
    std::vector<std::string> errors;       // the error boxes shown
    std::vector<FileDialogState> dialogs;  // each file dialog as it was opened
    std::vector<Question> questions;
    std::deque<PromptAnswer> answers;
    std::deque<std::optional<std::string>> file_names;
    // The file type chosen in each file dialog (its filter_index); the one it opened on when
    // empty.
    std::deque<int> file_types;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override {
        questions.push_back({caption, text});
        return Next(answers, PromptAnswer::Ok);
    }

    PromptAnswer AskChoice(const std::string& caption, const std::string& text,
                           const std::string& ok_button, const std::string& cancel_button,
                           DefaultChoice default_choice = DefaultChoice::First) override {
        questions.push_back({caption, text, ok_button, cancel_button, default_choice});
        return Next(answers, PromptAnswer::Ok);
    }

    std::optional<std::string> AskOpenFileName(const std::string& /*filter*/) override {
        return Next(file_names, std::optional<std::string>());
    }

    std::optional<std::string> AskSaveFileName(const std::string& /*filter*/,
                                               const std::string& /*extension*/) override {
        return Next(file_names, std::optional<std::string>());
    }

    void ShowError(const std::string& text) override { errors.push_back(text); }

    bool ExecuteSaveDialog(FileDialogState& dialog) override { return Execute(dialog); }
    bool ExecuteOpenDialog(FileDialogState& dialog) override { return Execute(dialog); }

  private:
    bool Execute(FileDialogState& dialog) {
        dialogs.push_back(dialog);
        std::optional<std::string> name = Next(file_names, std::optional<std::string>());
        if (!name) {
            return false;
        }
        dialog.filter_index = Next(file_types, dialog.filter_index);
        dialog.file_name = std::move(*name);
        return true;
    }

    template <typename T>
    static T Next(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            return fallback;
        }
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

}  // namespace korvid::test_support
