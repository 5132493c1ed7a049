#pragma once
// Owners of an SQLite connection and of a prepared statement, with the few calls the film
// database makes. Every failure raises DatasetError: "Disk full" when the disk is full, else
// the database's own message.

#include <sqlite3.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <memory>
#include <string>
#include <unordered_map>
#include <string_view>

namespace korvid::dataset {

[[noreturn]] void RaiseSqliteError(sqlite3* db, int code);

// A file as the system tells it apart from every other file there is now.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

class SqliteConnection {
  public:
    // flags as for sqlite3_open_v2. Raises DatasetError when the file cannot be opened.
    SqliteConnection(const std::string& path, int flags);
    // Opens read-only the regular file `expected`, which the caller found at the path. SQLite
    // opens the file by its path again (after following its links), so another program may
    // have put something else there meanwhile: SQLite's own open of it does not wait (a FIFO
    // put there fails at once instead of blocking), and the file SQLite holds open is compared
    // with `expected`. Anything else raises DatasetError "PATH: the file was replaced while it
    // was being opened".
    SqliteConnection(const std::string& path, const FileIdentity& expected);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* Get() const { return db_; }
    void Exec(const char* sql);
    // Closes the connection, raising DatasetError when that fails (the last writes).
    void Close();
    // Hands the connection over; the caller closes it.
    sqlite3* Release();

  private:
    void Open(const std::string& path, int flags);

    sqlite3* db_ = nullptr;
};

// Settings for reading a database file that someone else may have made: functions and virtual
// tables named in its schema are not trusted, the schema cannot be written, no text or blob
// longer than max_length bytes is made or read, and no other database can be attached.
void ReadDefensively(sqlite3* db, int max_length);

// Ends any statement of the connection that is still running when the limit has passed since
// Start() (through the progress handler: the statement fails with SQLITE_INTERRUPT).
class AnswerDeadline {
  public:
    AnswerDeadline(sqlite3* db, std::chrono::milliseconds limit);
    ~AnswerDeadline();
    AnswerDeadline(const AnswerDeadline&) = delete;
    AnswerDeadline& operator=(const AnswerDeadline&) = delete;

    // Starts the time for the statements that follow.
    void Start();
    // Whether the deadline has ended a statement since Start().
    bool Passed() const { return passed_; }

  private:
    static int Check(void* self);

    sqlite3* db_;
    std::chrono::steady_clock::duration limit_;
    std::atomic<std::chrono::steady_clock::rep> deadline_{0};
    std::atomic<bool> passed_{false};
};

class SqliteStatement {
  public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // The text is not copied: it must stay as it is until the statement has run.
    void Bind(int index, std::string_view text);
    void Bind(int index, std::int64_t value);
    void BindNull(int index);
    // Binds the text, or NULL when it is empty.
    void BindTextOrNull(int index, std::string_view text);
    void BindOptional(int index, std::optional<int> value);
    // True while there is a row to read; false when done.
    bool Step();
    // Runs an insert or update to its end and makes the statement ready for the next.
    void Run();

    std::string_view Text(int column) const;
    std::int64_t Int(int column) const;
    std::optional<int> OptionalInt(int column) const;
    bool IsNull(int column) const;
    sqlite3_stmt* Handle() const { return statement_; }

  private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// Statements prepared once for a connection and used again: preparing one costs as much as a
// small search. Get gives the statement for the text, reset and without bindings; the Use it
// comes in resets it again when it goes, so that no statement keeps a read open between
// questions. Not for two threads at once.
class StatementCache {
  public:
    explicit StatementCache(sqlite3* db) : db_(db) {}

    class Use {
      public:
        explicit Use(SqliteStatement& statement) : statement_(statement) {}
        ~Use() {
            sqlite3_reset(statement_.Handle());
            sqlite3_clear_bindings(statement_.Handle());
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        SqliteStatement& operator*() const { return statement_; }
        SqliteStatement* operator->() const { return &statement_; }

      private:
        SqliteStatement& statement_;
    };

    Use Get(const std::string& sql);

  private:
    sqlite3* db_;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> statements_;
};

}  // namespace korvid::dataset
