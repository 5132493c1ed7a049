#pragma once
// The question a save asks before it writes over a file that is already there: the file
// dialogs themselves are told not to ask, so that the window asks in its own words, once,
// through its prompts.

#include <string>

#include "common/prompts.h"

namespace korvid {

// The question's text for the file.
std::string ReplaceQuestionText(const std::string& file_name);

// True when nothing is at the name, or the user answered Yes to replacing it. Enter answers
// No: a file is never replaced by a stray key.
bool MayReplace(Prompts& prompts, const std::string& file_name);

}  // namespace korvid
