#include "cli/scan_nfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "cli/rename_safely.h"
#include "client/nfo_document.h"
#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"
#include "common/safe_save.h"

namespace korvid::cli {
namespace {

namespace fs = std::filesystem;

// The first bytes of a regular file, enough to tell who wrote it; empty when it cannot be read.
std::string Head(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    std::string head(NfoHeadBytes, '\0');
    const ssize_t got = file.IsOpen() ? ::read(file.Get(), head.data(), head.size()) : -1;
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return head;
}

// Writes the document into a new temporary file beside the NFO file; its path, or why not.
bool WriteTemporary(const std::string& nfo, const std::string& document, const struct stat* mode_of,
                    std::string* temp, std::string* failure) {
    FileDescriptor file(CreateBeside(nfo, temp));
    if (!file.IsOpen()) {
        *failure = "no temporary file beside it: " + ErrnoText(errno);
        return false;
    }
    const int error = WriteWholeAndClose(
        file, document,
        mode_of != nullptr ? std::optional<mode_t>(mode_of->st_mode & 0777) : std::nullopt);
    if (error != 0) {
        ::unlink(temp->c_str());
        *failure = WriteError(error).what();
        return false;
    }
    return true;
}

// Makes the file at its name, which must be free, and writes it whole; removes it when not.
bool WriteInPlace(const std::string& path, const std::string& document, std::string* failure) {
    FileDescriptor file(CreateOutputFile(path, O_EXCL, 0666));
    if (!file.IsOpen()) {
        *failure = errno == EEXIST ? "the name is taken" : ErrnoText(errno);
        return false;
    }
    if (const int error = WriteWholeAndClose(file, document); error != 0) {
        ::unlink(path.c_str());
        *failure = WriteError(error).what();
        return false;
    }
    return true;
}

}  // namespace

std::string NfoPathOf(const std::string& movie) {
    const fs::path path(movie);
    return (path.parent_path() / (path.stem().string() + std::string(NfoExtension))).string();
}

NfoStep WriteNfoBeside(const std::string& movie, const std::string& document, bool replace_foreign,
                       bool dry_run, const RenameCalls& calls) {
    NfoStep step;
    step.file = NfoPathOf(movie);
    const std::string& nfo = step.file;
    struct stat existing {};
    const bool exists = ::lstat(nfo.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        step.message = ErrnoText(errno);
        return step;
    }
    step.action = NfoAction::Written;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            step.action = NfoAction::Kept;
            step.message = "not a regular file";
            return step;
        }
        if (IsKorvidNfo(Head(nfo))) {
            step.action = NfoAction::Updated;
        } else if (replace_foreign) {
            step.action = NfoAction::Replaced;
        } else {
            step.action = NfoAction::Kept;
            step.message = "Korvid did not write it (--replace-nfo replaces it)";
            return step;
        }
    }
    if (dry_run) {
        return step;
    }

    const NfoAction planned = step.action;
    step.action = NfoAction::Failed;
    std::string temp;
    if (!WriteTemporary(nfo, document, exists ? &existing : nullptr,
                        &temp, &step.message)) {
        return step;
    }
    if (planned == NfoAction::Written) {
        const RenameOutcome outcome = RenameWithoutReplacing(temp, nfo, calls);
        ::unlink(temp.c_str());  // nothing when it was renamed
        if (outcome.no_safe_way) {
            // A file system that renames only by replacing: the new file is made at its name
            // (O_EXCL, so never over another) and removed again when it cannot be written whole.
            if (!WriteInPlace(nfo, document, &step.message)) {
                return step;
            }
        } else if (!outcome.Renamed()) {
            step.message = RenameFailureText(outcome);
            return step;
        }
    } else {
        // The file looked at is the one replaced: nothing else has come in its place since.
        struct stat now {};
        if (::lstat(nfo.c_str(), &now) != 0 || now.st_dev != existing.st_dev ||
            now.st_ino != existing.st_ino) {
            ::unlink(temp.c_str());
            step.message = "the file changed while it was looked at";
            return step;
        }
        if (std::rename(temp.c_str(), nfo.c_str()) != 0) {
            step.message = ErrnoText(errno);
            ::unlink(temp.c_str());
            return step;
        }
    }
    step.action = planned;
    step.message.clear();
    return step;
}

}  // namespace korvid::cli
