#include "cli/rename_safely.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.h"

namespace korvid::cli {
namespace {

int RenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int Link(const char* from, const char* to) {
    return ::link(from, to);
}

int Unlink(const char* path) {
    return ::unlink(path);
}

// The errors of a file system that does not take RENAME_NOREPLACE.
bool FlagRefused(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// The errors of a file system without hard links.
bool LinksRefused(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

}  // namespace

const RenameCalls& SystemRenameCalls() {
    static constexpr RenameCalls Calls{RenameNoReplace, Link, Unlink};
    return Calls;
}

RenameOutcome RenameWithoutReplacing(const std::string& from, const std::string& to,
                                     const RenameCalls& calls) {
    if (calls.rename_no_replace(from.c_str(), to.c_str()) == 0) {
        return {};
    }
    if (const int error = errno; !FlagRefused(error)) {
        return {.error = error};
    }
    // The link fails with EEXIST when the name is taken, so nothing is ever replaced.
    if (calls.link(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        return LinksRefused(error) ? RenameOutcome{.error = error, .no_safe_way = true}
                                   : RenameOutcome{.error = error};
    }
    if (calls.unlink(from.c_str()) != 0) {
        const int error = errno;
        calls.unlink(to.c_str());  // the file keeps its old name alone
        return {.error = error};
    }
    return {};
}

std::string RenameFailureText(const RenameOutcome& outcome) {
    if (outcome.no_safe_way) {
        return "the file system cannot rename without the risk of replacing a file";
    }
    if (outcome.error == EEXIST || outcome.error == ENOTEMPTY) {
        return "the name is taken";
    }
    return ErrnoText(outcome.error);
}

}  // namespace korvid::cli
