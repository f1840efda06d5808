// SQLite backend: statements are prepared one at a time from the script and stepped row by row.

#include <sqlite3.h>

#include <charconv>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "backends.h"
#include "cdb.h"
#include "fld_desc.h"
#include "text.h"
#include "value_text.h"

namespace {

// How long a statement waits for another connection's lock before it fails with "database is locked".
constexpr int kBusyTimeoutMs = 3000;
// Virtual-machine steps between two looks at a CancelAll request: often enough to stop within a millisecond,
// rare enough to cost nothing measurable.
constexpr int kProgressSteps = 1000;

struct DbCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};

bool Contains(const std::string& upper, const char* word) { return upper.find(word) != std::string::npos; }

// The type code for a declared column type, following SQLite's affinity rules where they decide.
int TypeFromDeclared(const char* declared) {
    std::string upper(declared);
    for (auto& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (Contains(upper, "DATETIME") || Contains(upper, "TIMESTAMP")) return TC_TIMESTAMP;
    if (Contains(upper, "DATE")) return TC_DATE;
    if (Contains(upper, "TIME")) return TC_TIME;
    if (Contains(upper, "BOOL") || upper == "BIT") return TC_BIT;
    if (Contains(upper, "BIGINT")) return TC_BIGINT;
    if (Contains(upper, "SMALLINT")) return TC_SMALLINT;
    if (Contains(upper, "TINYINT")) return TC_TINYINT;
    if (Contains(upper, "INT")) return TC_INTEGER;
    if (Contains(upper, "VARCHAR") || Contains(upper, "VARYING")) return TC_VARCHAR;
    if (Contains(upper, "CHAR")) return TC_CHAR;
    if (Contains(upper, "CLOB") || Contains(upper, "TEXT")) return TC_VARCHAR;
    if (Contains(upper, "BLOB") || Contains(upper, "BINARY")) return TC_BINARY;
    if (Contains(upper, "DOUB")) return TC_DOUBLE;
    if (Contains(upper, "FLOA")) return TC_FLOAT;
    if (Contains(upper, "REAL")) return TC_REAL;
    if (Contains(upper, "DEC")) return TC_DECIMAL;
    if (Contains(upper, "NUM")) return TC_NUMERIC;
    return TC_VARCHAR;
}

int TypeFromStorage(int storageClass) {
    switch (storageClass) {
        case SQLITE_INTEGER: return TC_INTEGER;
        case SQLITE_FLOAT: return TC_DOUBLE;
        case SQLITE_BLOB: return TC_BINARY;
        default: return TC_VARCHAR;
    }
}

class SqliteConnection final : public CDB {
public:
    SqliteConnection() { m_Type = DS_SQLITE; }
    ~SqliteConnection() override { Disconnect(); }

    int Connect(const CONN_INFO& info) override;
    void Disconnect() override;
    int Execute(const std::wstring& script, int) override;
    int GetColumnCount(int& count, int) override;
    int GetColumnName(int column, std::wstring& name) override;
    int GetColumnType(int column, int& type, int, int) override;
    int Fetch(int) override;
    int GetValue(int column, std::wstring& value, int, int, int) override;
    int GetValueUtf8(int column, std::string& value) override;
    bool HasUtf8Values() const override { return true; }
    int NextResultSet(int) override;
    int CloseCursor(int) override;
    void Cancel() override;

private:
    template <typename Text>
    int ReadValue(int column, Text& value);
    // Runs statements from the script's unread rest until one returns columns (DB_OK), the script ends
    // (DB_NO_DATA) or a statement fails (DB_ERROR).
    int NextStatementWithColumns();
    int Fail(const char* message);
    int Fail(int code);
    // SQLite's progress and busy callbacks: a CancelAll request ends the statement (or the wait for a lock).
    static int StopIfCancelled(void* self);
    static int WaitUnlessCancelled(void* self, int attempts);
    void TakeColumnTypes();

    std::unique_ptr<sqlite3, DbCloser> m_db;
    // Guards m_db against Cancel from another thread while Disconnect closes it.
    std::mutex m_handleMutex;
    std::unique_ptr<sqlite3_stmt, StmtFinalizer> m_stmt;
    std::string m_script;
    size_t m_next = 0;  // start of the unread rest of m_script
    bool m_rowPending = false;  // the first row was stepped to learn the types and is not handed out yet
    bool m_done = true;         // the current result set has no more rows
    bool m_fetchFailed = false;  // a Fetch failed; the next NextResultSet reports it instead of going on
    std::vector<int> m_types;
};

int SqliteConnection::Fail(const char* message) {
    tw::Utf8ToWide(message ? message : "unknown SQLite error", m_LastError);
    m_stmt.reset();
    m_done = true;
    m_rowPending = false;
    m_next = m_script.size();
    return DB_ERROR;
}

int SqliteConnection::Fail(int code) {
    const char* message = m_db ? sqlite3_errmsg(m_db.get()) : sqlite3_errstr(code);
    // After an interrupt the connection's message may be stale; the code's own text is then the better one.
    if (code == SQLITE_INTERRUPT) message = sqlite3_errstr(code);
    return Fail(message);
}

int SqliteConnection::Connect(const CONN_INFO& info) {
    Disconnect();
    m_ConInfo = info;
    m_LastError.clear();
    std::wstring target = info.Connection;
    while (!target.empty() && (target.back() == L' ' || target.back() == L'\t')) target.pop_back();
    while (!target.empty() && (target.front() == L' ' || target.front() == L'\t')) target.erase(0, 1);
    if (target.empty()) {
        m_LastError = L"No SQLite database file given.";
        return DB_ERROR;
    }
    std::string path;
    if (target.starts_with(L"file:") || target == L":memory:") {
        path = tw::WideToUtf8(target);
    } else {
        std::filesystem::path file = tw::ToPath(target);
        if (file.is_relative() && !info.BaseFolder.empty()) file = tw::ToPath(info.BaseFolder) / file;
        path = file.string();
    }

    sqlite3* raw = nullptr;
    // Never SQLITE_OPEN_CREATE: a mistyped path must not leave an empty database behind. One thread uses the
    // connection (Cancel's sqlite3_interrupt is safe from another without it), so SQLite's own per-call mutex is
    // left out: it cost a lock and unlock for every value read.
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK) {
        tw::Utf8ToWide(std::string(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) + ": " + path, m_LastError);
        return DB_ERROR;
    }
    // sqlite3_interrupt is lost when it comes between two statements; these callbacks see a CancelAll at any time.
    sqlite3_busy_handler(db.get(), &SqliteConnection::WaitUnlessCancelled, this);
    sqlite3_progress_handler(db.get(), kProgressSteps, &SqliteConnection::StopIfCancelled, this);
    // Opening is lazy; reading the schema finds a file that is not a database now rather than at the first run.
    char* error = nullptr;
    if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error) != SQLITE_OK) {
        tw::Utf8ToWide(std::string(error ? error : sqlite3_errmsg(db.get())) + ": " + path, m_LastError);
        sqlite3_free(error);
        return DB_ERROR;
    }
    {
        std::lock_guard lock(m_handleMutex);
        m_db = std::move(db);
    }
    m_Connected = true;
    return DB_OK;
}

void SqliteConnection::Disconnect() {
    CloseCursor(0);
    std::lock_guard lock(m_handleMutex);
    m_db.reset();
    m_Connected = false;
}

int SqliteConnection::StopIfCancelled(void* self) {
    return static_cast<SqliteConnection*>(self)->CancelAllRequested() ? 1 : 0;
}

int SqliteConnection::WaitUnlessCancelled(void* self, int attempts) {
    constexpr int kPauseMs = 10;
    if (static_cast<SqliteConnection*>(self)->CancelAllRequested() || attempts * kPauseMs >= kBusyTimeoutMs) return 0;
    sqlite3_sleep(kPauseMs);
    return 1;
}

void SqliteConnection::Cancel() {
    std::lock_guard lock(m_handleMutex);
    if (m_db) sqlite3_interrupt(m_db.get());
}

int SqliteConnection::Execute(const std::wstring& script, int) {
    CloseCursor(0);
    m_LastError.clear();
    if (!m_db) {
        m_LastError = L"Not connected.";
        return DB_ERROR;
    }
    m_script = tw::WideToUtf8(script);
    m_next = 0;
    m_RowsAffected = -1;
    const int rc = NextStatementWithColumns();
    return rc == DB_ERROR ? DB_ERROR : DB_OK;
}

int SqliteConnection::NextStatementWithColumns() {
    m_stmt.reset();
    m_rowPending = false;
    m_done = true;
    m_types.clear();
    while (m_db && m_next < m_script.size()) {
        if (CancelAllRequested()) {
            return Fail(sqlite3_errstr(SQLITE_INTERRUPT));
        }
        const char* begin = m_script.data() + m_next;
        const char* tail = nullptr;
        sqlite3_stmt* raw = nullptr;
        const int prepared = sqlite3_prepare_v2(m_db.get(), begin, static_cast<int>(m_script.size() - m_next), &raw,
                                                &tail);
        m_stmt.reset(raw);
        if (prepared != SQLITE_OK) return Fail(prepared);
        m_next = tail ? static_cast<size_t>(tail - m_script.data()) : m_script.size();
        if (!m_stmt) continue;  // only blanks and comments

        // The difference of the totals, because sqlite3_changes keeps the count of an earlier statement
        // across one (such as CREATE TABLE) that changes no rows.
        const sqlite3_int64 changesBefore = sqlite3_total_changes64(m_db.get());
        int rc = sqlite3_step(m_stmt.get());
        if (sqlite3_column_count(m_stmt.get()) == 0) {
            while (rc == SQLITE_ROW) rc = sqlite3_step(m_stmt.get());
            if (rc != SQLITE_DONE) return Fail(rc);
            m_RowsAffected = sqlite3_total_changes64(m_db.get()) - changesBefore;
            m_stmt.reset();
            continue;
        }
        if (rc == SQLITE_ROW) {
            m_rowPending = true;
            m_done = false;
        } else if (rc != SQLITE_DONE) {
            return Fail(rc);
        }
        TakeColumnTypes();
        return DB_OK;
    }
    m_stmt.reset();
    return DB_NO_DATA;
}

void SqliteConnection::TakeColumnTypes() {
    const int count = sqlite3_column_count(m_stmt.get());
    m_types.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char* declared = sqlite3_column_decltype(m_stmt.get(), i);
        if (declared && *declared)
            m_types[static_cast<size_t>(i)] = TypeFromDeclared(declared);
        else
            m_types[static_cast<size_t>(i)] =
                TypeFromStorage(m_rowPending ? sqlite3_column_type(m_stmt.get(), i) : SQLITE_NULL);
    }
}

int SqliteConnection::GetColumnCount(int& count, int) {
    count = static_cast<int>(m_types.size());
    return DB_OK;
}

int SqliteConnection::GetColumnName(int column, std::wstring& name) {
    if (!m_stmt || column < 0 || column >= static_cast<int>(m_types.size())) return DB_ERROR;
    const char* text = sqlite3_column_name(m_stmt.get(), column);
    tw::Utf8ToWide(text ? text : "", name);
    return DB_OK;
}

int SqliteConnection::GetColumnType(int column, int& type, int, int) {
    return ColumnAt(m_types, column, true, type);
}

int SqliteConnection::Fetch(int) {
    if (!m_stmt) return DB_NO_DATA;
    if (m_rowPending) {
        m_rowPending = false;
        return DB_OK;
    }
    if (m_done) return DB_NO_DATA;
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW) return DB_OK;
    m_done = true;
    if (rc == SQLITE_DONE) return DB_NO_DATA;
    m_fetchFailed = true;
    return Fail(rc);
}

template <typename Text>
int SqliteConnection::ReadValue(int column, Text& value) {
    if (!m_stmt || column < 1 || column > static_cast<int>(m_types.size())) return DB_ERROR;
    // One lookup of the column's value, then the value interfaces: each sqlite3_column_* call looks the column
    // up again and checks for an allocation failure, a fifth of a plain run's time. The connection has no mutex
    // (it is opened NOMUTEX), so that the value is as good as a protected one until the next step.
    sqlite3_value* const cell = sqlite3_column_value(m_stmt.get(), column - 1);
    switch (sqlite3_value_type(cell)) {
        case SQLITE_NULL: value.clear(); break;
        case SQLITE_INTEGER: {
            char buffer[24];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, sqlite3_value_int64(cell));
            tw::db::AssignAscii(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), value);
            break;
        }
        case SQLITE_FLOAT: tw::db::AssignDouble(sqlite3_value_double(cell), value); break;
        case SQLITE_BLOB: {
            const void* bytes = sqlite3_value_blob(cell);
            tw::db::AssignHex(bytes, static_cast<size_t>(sqlite3_value_bytes(cell)), value);
            break;
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(cell));
            const auto size = static_cast<size_t>(sqlite3_value_bytes(cell));
            tw::db::AssignUtf8(std::string_view(text ? text : "", text ? size : 0), value);
        }
    }
    return DB_OK;
}

int SqliteConnection::GetValue(int column, std::wstring& value, int, int, int) { return ReadValue(column, value); }

// GetValue's texts before they are widened: SQLite keeps text as UTF-8 and the rest is ASCII.
int SqliteConnection::GetValueUtf8(int column, std::string& value) { return ReadValue(column, value); }

int SqliteConnection::NextResultSet(int) {
    if (m_fetchFailed) {
        m_fetchFailed = false;
        return DB_ERROR;
    }
    if (m_next >= m_script.size()) {
        m_stmt.reset();
        m_types.clear();
        return DB_NO_DATA;
    }
    return NextStatementWithColumns();
}

int SqliteConnection::CloseCursor(int) {
    m_stmt.reset();
    m_script.clear();
    m_next = 0;
    m_rowPending = false;
    m_done = true;
    m_fetchFailed = false;
    m_types.clear();
    return DB_OK;
}

}  // namespace

std::unique_ptr<CDB> tw::db::NewSqliteConnection() { return std::make_unique<SqliteConnection>(); }
