#pragma once
// Small helpers shared by the tag tests: movie-like file contents, a hash of bytes, running a
// real program, and prompts that answer from a script and record what they were asked.

#include <grp.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/prompts.h"

extern char** environ;

namespace korvid::testing {

// size bytes of pseudo-random "movie data"; its last 128 bytes never begin with "TAG".
inline std::string MovieData(std::size_t size, std::uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(random() & 0xff);
    }
    if (size >= 128) {
        data[size - 128] = 'M';
    }
    return data;
}

// 64-bit FNV-1a of the bytes.
inline std::uint64_t HashBytes(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Equal bytes; on a difference it names the sizes and the first differing offset instead of
// printing kilobytes of binary data.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    const auto [a, e] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
           << (a - actual.begin()) << ", hashes " << HashBytes(actual) << " and "
           << HashBytes(expected);
}

// The full path of a program found on PATH, if any.
inline std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string dir(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

// Runs a program with the given arguments and waits for it; its exit status, or -1.
inline int RunProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Runs check and gives its result. When the tests run as root, who may open any file, check
// runs in a child process under the unprivileged user and group 65534 ("nobody") instead;
// 98 means check threw, 99 that the user could not be changed.
inline int RunUnprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return 99;
    }
    if (pid == 0) {
        int result = 99;
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                result = check();
            } catch (...) {
                result = 98;
            }
        }
        ::_exit(result);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return 99;
    }
    return WEXITSTATUS(status);
}

// Answers AskOkCancel from a queue (OK when it runs out) and records every question.
class ScriptedPrompts : public Prompts {
  public:
    struct Question {
        std::string caption;
        std::string text;
    };

    void AnswerNext(PromptAnswer answer) { answers_.push_back(answer); }
    const std::vector<Question>& Questions() const { return questions_; }
    const std::vector<std::string>& Messages() const { return messages_; }

    void ShowMessage(const std::string& text) override { messages_.push_back(text); }
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override {
        questions_.push_back({caption, text});
        if (answers_.empty()) {
            return PromptAnswer::Ok;
        }
        const PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    std::optional<std::string> AskOpenFileName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> AskSaveFileName(const std::string&, const std::string&) override {
        return std::nullopt;
    }

  private:
    std::deque<PromptAnswer> answers_;
    std::vector<Question> questions_;
    std::vector<std::string> messages_;
};

}  // namespace korvid::testing
