#include "shell/replace_question.h"

#include <sys/stat.h>

#include <filesystem>

namespace korvid {

std::string ReplaceQuestionText(const std::string& file_name) {
    return std::filesystem::path(file_name).filename().string() +
           " already exists.\nDo you want to replace it?";
}

bool MayReplace(Prompts& prompts, const std::string& file_name) {
    struct stat info {};
    if (::lstat(file_name.c_str(), &info) != 0) {
        return true;
    }
    return prompts.AskChoice("Korvid", ReplaceQuestionText(file_name), "&Yes", "&No",
                             DefaultChoice::Second) == PromptAnswer::Ok;
}

}  // namespace korvid
