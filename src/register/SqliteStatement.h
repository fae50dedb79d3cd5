#pragma once
// A thin owner of an SQLite connection and its statements: every value goes in as a bound
// parameter, texts as the bytes they are (Windows-1250), and every failure becomes a
// RegisterError carrying SQLite's own words.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quelvar::sites {

// Why the register could not do what was asked: one line for the user.
class RegisterError : public std::runtime_error {
  public:
    RegisterError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
    // SQLite's primary result code (SQLITE_CORRUPT, SQLITE_FULL, ...); 0 for the register's own.
    int Code() const { return code_; }

  private:
    int code_;
};

class Database {
  public:
    // Opens (creating when asked) the file; throws RegisterError.
    Database(const std::string& path, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const { return db_; }
    // Runs statements that take no parameters (schema, pragmas).
    void Execute(const char* sql);
    std::int64_t LastInsertId() const;
    // Throws RegisterError naming `doing` and SQLite's message, for the result code given.
    [[noreturn]] void Fail(int code, std::string_view doing) const;

  private:
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as SQLite's do. Texts are bound as blobs: compared byte for byte.
    Statement& Bind(int index, std::string_view bytes);
    // The register's own words (a kind's name), compared with text in queries.
    Statement& BindText(int index, const char* text);
    Statement& BindOptional(int index, const std::optional<std::string>& bytes);
    Statement& Bind(int index, std::int64_t value);
    Statement& BindNull(int index);

    // True while a row is there; false when done. Throws RegisterError.
    bool Step();
    // Steps once, expecting no row back.
    void Run();
    // Ready for new parameters and another run.
    void Reset();

    std::string Text(int column) const;
    std::optional<std::string> OptionalText(int column) const;
    std::int64_t Integer(int column) const;
    bool IsNull(int column) const;

  private:
    Database& db_;
    sqlite3_stmt* statement_ = nullptr;
};

// A transaction that rolls back unless committed.
class Transaction {
  public:
    // BEGIN IMMEDIATE: the write lock is taken at once, so waiting happens in the busy timeout
    // and never as a failed upgrade halfway.
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

  private:
    Database& db_;
    bool done_ = false;
};

}  // namespace quelvar::sites
