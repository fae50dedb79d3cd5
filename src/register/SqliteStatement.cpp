#include "register/SqliteStatement.h"

#include <sqlite3.h>

namespace quelvar::sites {

Database::Database(const std::string& path, bool create) {
    const int flags =
        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close(db_);
        db_ = nullptr;
        throw RegisterError("cannot open " + path + ": " + message, code & 0xff);
    }
    sqlite3_extended_result_codes(db_, 0);
    // Double-quoted strings off everywhere, as the Windows build compiles SQLite, so that a
    // query that only the Linux library would take fails here first.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

Database::~Database() {
    sqlite3_close(db_);
}

void Database::Execute(const char* sql) {
    char* message = nullptr;
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(code);
        sqlite3_free(message);
        throw RegisterError(text, code & 0xff);
    }
}

std::int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

void Database::Fail(int code, std::string_view doing) const {
    throw RegisterError(std::string(doing) + ": " + sqlite3_errmsg(db_), code & 0xff);
}

Statement::Statement(Database& db, const char* sql) : db_(db) {
    const int code = sqlite3_prepare_v2(db.Handle(), sql, -1, &statement_, nullptr);
    if (code != SQLITE_OK) {
        db.Fail(code, "cannot prepare a query");
    }
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

Statement& Statement::Bind(int index, std::string_view bytes) {
    // A zero-length blob must not be NULL: an empty customer name is a value.
    const int code = sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(),
                                       static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK) {
        db_.Fail(code, "cannot bind a value");
    }
    return *this;
}

Statement& Statement::BindText(int index, const char* text) {
    const int code = sqlite3_bind_text(statement_, index, text, -1, SQLITE_TRANSIENT);
    if (code != SQLITE_OK) {
        db_.Fail(code, "cannot bind a value");
    }
    return *this;
}

Statement& Statement::BindOptional(int index, const std::optional<std::string>& bytes) {
    return bytes ? Bind(index, std::string_view(*bytes)) : BindNull(index);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    const int code = sqlite3_bind_int64(statement_, index, value);
    if (code != SQLITE_OK) {
        db_.Fail(code, "cannot bind a value");
    }
    return *this;
}

Statement& Statement::BindNull(int index) {
    const int code = sqlite3_bind_null(statement_, index);
    if (code != SQLITE_OK) {
        db_.Fail(code, "cannot bind a value");
    }
    return *this;
}

bool Statement::Step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    db_.Fail(code, "the site register");
}

void Statement::Run() {
    while (Step()) {
    }
}

void Statement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::string Statement::Text(int column) const {
    const void* bytes = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                 : std::string();
}

std::optional<std::string> Statement::OptionalText(int column) const {
    if (IsNull(column)) {
        return std::nullopt;
    }
    return Text(column);
}

std::int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

Transaction::Transaction(Database& db) : db_(db) {
    db_.Execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!done_) {
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit() {
    db_.Execute("COMMIT");
    done_ = true;
}

}  // namespace quelvar::sites
