#include "dataset/sqlite_db.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "dataset/film_database.h"

namespace korvid::dataset {
namespace {

// SQLite's unix file layer opens every file through its "open" system call, which a program
// may replace (sqlite3_vfs.xSetSystemCall, one table for the whole process). Korvid's
// replacement is SQLite's own call; only while a thread opens a file it must check (the
// connection with an expected file) it adds O_NONBLOCK, so that a FIFO never blocks, and
// notes the descriptor, so that the file SQLite holds is known exactly. SQLite opens the main
// database file in sqlite3_open_v2 itself, and no other file there.
using OpenCall = int (*)(const char* path, int flags, int mode);
OpenCall system_open = nullptr;
// Where the check running on this thread notes the descriptor; null when none runs.
thread_local int* checked_descriptor = nullptr;

int OpenNoted(const char* path, int flags, int mode) {
    int* const noted = checked_descriptor;
    if (noted == nullptr) {
        return system_open(path, flags, mode);
    }
    const int fd = system_open(path, flags | O_NONBLOCK, mode);
    // SQLite opens /dev/null in place of a descriptor below 3, then the file again.
    if (fd >= 0 && std::strcmp(path, "/dev/null") != 0) {
        *noted = fd;
    }
    return fd;
}

bool InstallOpenNoted() {
    sqlite3_initialize();
    sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    if (vfs == nullptr || vfs->iVersion < 3 || vfs->xGetSystemCall == nullptr ||
        vfs->xSetSystemCall == nullptr) {
        return false;
    }
    system_open = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
    return system_open != nullptr &&
           vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&OpenNoted)) ==
               SQLITE_OK;
}

// Installed before the first connection of the process opens, since every connection Korvid
// makes starts here: the table is never changed while another thread reads it.
bool OpenNotedInstalled() {
    static const bool installed = InstallOpenNoted();
    return installed;
}

// Notes the descriptor SQLite opens on this thread while it lives.
class NoteOpen {
  public:
    explicit NoteOpen(int& fd) { checked_descriptor = &fd; }
    ~NoteOpen() { checked_descriptor = nullptr; }
    NoteOpen(const NoteOpen&) = delete;
    NoteOpen& operator=(const NoteOpen&) = delete;
};

// The file at the path, or the one the descriptor holds: whether it is a regular file, and
// which.
std::optional<FileIdentity> RegularFile(int stat_result, const struct stat& info) {
    if (stat_result != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

}  // namespace

void RaiseSqliteError(sqlite3* db, int code) {
    if ((code & 0xFF) == SQLITE_FULL) {
        throw DatasetError("Disk full");
    }
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw DatasetError(std::string("the database: ") + message);
}

SqliteConnection::SqliteConnection(const std::string& path, int flags) {
    OpenNotedInstalled();
    Open(path, flags);
}

SqliteConnection::SqliteConnection(const std::string& path, const FileIdentity& expected) {
    const bool noted = OpenNotedInstalled();
    int fd = -1;
    const std::string replaced = path + ": the file was replaced while it was being opened";
    const auto at_path = [&path] {
        struct stat info {};
        const int result = ::stat(path.c_str(), &info);
        return RegularFile(result, info);
    };
    try {
        const NoteOpen note(fd);
        Open(path, SQLITE_OPEN_READONLY);
    } catch (const DatasetError&) {
        // A FIFO opened without waiting fails in SQLite: say what happened, not its words.
        if (at_path() != expected) {
            throw DatasetError(replaced);
        }
        throw;
    }
    // No descriptor noted: SQLite took again one it kept of a connection closed earlier on the
    // same file (a file opened and checked before, so no FIFO), chosen by the path's file as it
    // looked then; or the open call could not be replaced. The path's file then stands in for
    // it.
    struct stat info {};
    const std::optional<FileIdentity> opened =
        noted && fd >= 0 ? RegularFile(::fstat(fd, &info), info) : at_path();
    if (opened != expected) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatasetError(replaced);
    }
}

void SqliteConnection::Open(const std::string& path, int flags) {
    const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        // The system's own words where it refused ("permission denied"), rather than
        // SQLite's "unable to open database file".
        const int system_error = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
        const char* system_words = system_error != 0 ? ::strerrordesc_np(system_error) : nullptr;
        const std::string message = system_words != nullptr ? system_words
                                    : db_ != nullptr  ? sqlite3_errmsg(db_)
                                                      : sqlite3_errstr(code);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatasetError(path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close(db_);
}

void SqliteConnection::Exec(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db_, code);
    }
}

void SqliteConnection::Close() {
    const int code = sqlite3_close(db_);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db_, code);
    }
    db_ = nullptr;
}

sqlite3* SqliteConnection::Release() {
    sqlite3* db = db_;
    db_ = nullptr;
    return db;
}

void ReadDefensively(sqlite3* db, int max_length) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, max_length);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
}

AnswerDeadline::AnswerDeadline(sqlite3* db, std::chrono::milliseconds limit)
    : db_(db), limit_(limit) {
    Start();
    // Looked at every thousand virtual machine steps: often enough to end within a
    // fraction of a second, seldom enough to cost nothing.
    sqlite3_progress_handler(db_, 1000, &AnswerDeadline::Check, this);
}

AnswerDeadline::~AnswerDeadline() {
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
}

void AnswerDeadline::Start() {
    passed_ = false;
    deadline_ = (std::chrono::steady_clock::now() + limit_).time_since_epoch().count();
}

int AnswerDeadline::Check(void* self) {
    auto* deadline = static_cast<AnswerDeadline*>(self);
    if (std::chrono::steady_clock::now().time_since_epoch().count() < deadline->deadline_) {
        return 0;
    }
    deadline->passed_ = true;
    return 1;
}

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) : db_(db) {
    const int code =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db, code);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

void SqliteStatement::Bind(int index, std::string_view text) {
    const int code = sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_STATIC,
                                         SQLITE_UTF8);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db_, code);
    }
}

void SqliteStatement::Bind(int index, std::int64_t value) {
    const int code = sqlite3_bind_int64(statement_, index, value);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db_, code);
    }
}

void SqliteStatement::BindNull(int index) {
    const int code = sqlite3_bind_null(statement_, index);
    if (code != SQLITE_OK) {
        RaiseSqliteError(db_, code);
    }
}

void SqliteStatement::BindTextOrNull(int index, std::string_view text) {
    if (text.empty()) {
        BindNull(index);
    } else {
        Bind(index, text);
    }
}

void SqliteStatement::BindOptional(int index, std::optional<int> value) {
    if (value) {
        Bind(index, static_cast<std::int64_t>(*value));
    } else {
        BindNull(index);
    }
}

bool SqliteStatement::Step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    RaiseSqliteError(db_, code);
}

void SqliteStatement::Run() {
    while (Step()) {
    }
    sqlite3_reset(statement_);
}

std::string_view SqliteStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (text == nullptr) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

std::int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::optional<int> SqliteStatement::OptionalInt(int column) const {
    if (IsNull(column)) {
        return std::nullopt;
    }
    return sqlite3_column_int(statement_, column);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

StatementCache::Use StatementCache::Get(const std::string& sql) {
    auto& statement = statements_[sql];
    if (!statement) {
        statement = std::make_unique<SqliteStatement>(db_, sql);
    }
    sqlite3_reset(statement->Handle());
    return Use(*statement);
}

}  // namespace korvid::dataset
