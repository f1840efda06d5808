// MySQL/MariaDB backend: the whole script runs as one multi-statement query; every result set is read
// unbuffered (mysql_use_result), row by row.

#include <mysql.h>

#include <atomic>
#include <charconv>
#include <mutex>
#include <string>
#include <vector>

#include "backends.h"
#include "cdb.h"
#include "conn_string.h"
#include "fld_desc.h"
#include "text.h"
#include "value_text.h"

namespace {

// The collation number that marks binary strings.
constexpr unsigned kBinaryCharset = 63;

struct MysqlCloser {
    void operator()(MYSQL* mysql) const noexcept { mysql_close(mysql); }
};
struct ResultFreer {
    void operator()(MYSQL_RES* result) const noexcept { mysql_free_result(result); }
};

enum class ValueKind { Text, Float, Double, Time, Binary, Bit };

struct Settings {
    std::string host, user, password, database, socket;
    unsigned port = 0;
    unsigned timeout = tw::db::kConnectTimeoutSeconds;
    bool hasPassword = false;
};

void Classify(const MYSQL_FIELD& field, int& type, ValueKind& kind) {
    const bool binary = field.charsetnr == kBinaryCharset;
    kind = ValueKind::Text;
    switch (field.type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL: type = TC_DECIMAL; break;
        // TINYINT(1) is how MySQL spells BOOLEAN.
        case MYSQL_TYPE_TINY: type = field.length == 1 ? TC_BIT : TC_TINYINT; break;
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_YEAR: type = TC_SMALLINT; break;
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_INT24: type = TC_INTEGER; break;
        case MYSQL_TYPE_LONGLONG: type = TC_BIGINT; break;
        case MYSQL_TYPE_FLOAT: type = TC_REAL, kind = ValueKind::Float; break;
        case MYSQL_TYPE_DOUBLE: type = TC_DOUBLE, kind = ValueKind::Double; break;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE: type = TC_DATE; break;
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_TIME2: type = TC_TIME, kind = ValueKind::Time; break;
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_DATETIME2:
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_TIMESTAMP2: type = TC_TIMESTAMP, kind = ValueKind::Time; break;
        case MYSQL_TYPE_BIT: type = TC_BIT, kind = ValueKind::Bit; break;
        case MYSQL_TYPE_STRING: type = binary ? TC_BINARY : TC_CHAR; break;
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_JSON: type = binary ? TC_BINARY : TC_LONGVARCHAR; break;
        case MYSQL_TYPE_GEOMETRY: type = TC_BINARY; break;
        default: type = binary ? TC_BINARY : TC_VARCHAR; break;
    }
    if (type == TC_BINARY) kind = ValueKind::Binary;
}

class MySqlConnection final : public CDB {
public:
    MySqlConnection() { m_Type = DS_MYSQL; }
    ~MySqlConnection() override { Disconnect(); }

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
    // Sends what (a KILL command with the thread id to follow) about this session on a second connection.
    void Kill(const char* what);
    // Ends the session with everything it still runs and opens a new one.
    void Reopen();
    // Opens a connection with m_settings; null with m_LastError set when that fails.
    std::unique_ptr<MYSQL, MysqlCloser> Open(std::wstring* error) const;
    int NextResultWithColumns();
    int Fail();
    void EndResults();

    Settings m_settings;
    std::unique_ptr<MYSQL, MysqlCloser> m_mysql;
    std::atomic<unsigned long> m_threadId{0};
    std::mutex m_settingsMutex;
    std::unique_ptr<MYSQL_RES, ResultFreer> m_result;
    MYSQL_ROW m_row = nullptr;
    unsigned long* m_lengths = nullptr;
    bool m_fetchFailed = false;
    std::vector<int> m_types;
    std::vector<ValueKind> m_kinds;
    std::vector<std::wstring> m_names;
};

bool ParseSettings(const std::wstring& connection, Settings& settings, std::wstring& error) {
    settings = Settings{};
    for (const auto& param : tw::db::ParseKeyValues(connection)) {
        const std::string value = tw::WideToUtf8(param.value);
        const auto& key = param.key;
        if (key == L"host")
            settings.host = value;
        else if (key == L"user")
            settings.user = value;
        else if (key == L"password" || key == L"passwd" || key == L"pwd")
            settings.password = value, settings.hasPassword = true;
        else if (key == L"database" || key == L"dbname" || key == L"db")
            settings.database = value;
        else if (key == L"socket" || key == L"unix_socket")
            settings.socket = value;
        else if (key == L"port" || key == L"connect_timeout") {
            unsigned number = 0;
            const auto result = std::from_chars(value.data(), value.data() + value.size(), number);
            if (result.ec != std::errc() || result.ptr != value.data() + value.size()) {
                error = L"Invalid number for " + key + L" in the connection string: " + param.value;
                return false;
            }
            (key == L"port" ? settings.port : settings.timeout) = number;
        } else {
            error = L"Unknown setting in the MySQL connection string: " + param.key;
            return false;
        }
    }
    return true;
}

std::unique_ptr<MYSQL, MysqlCloser> MySqlConnection::Open(std::wstring* error) const {
    std::unique_ptr<MYSQL, MysqlCloser> mysql(mysql_init(nullptr));
    if (!mysql) {
        if (error) *error = L"Out of memory while connecting to MySQL.";
        return nullptr;
    }
    // [client] of the option files (~/.my.cnf) supplies what the connection string leaves out, passwords above all.
    mysql_options(mysql.get(), MYSQL_READ_DEFAULT_GROUP, "client");
    mysql_options(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &m_settings.timeout);
    mysql_options(mysql.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    auto text = [](const std::string& value) { return value.empty() ? nullptr : value.c_str(); };
    if (!mysql_real_connect(mysql.get(), text(m_settings.host), text(m_settings.user),
                            m_settings.hasPassword ? m_settings.password.c_str() : nullptr,
                            text(m_settings.database), m_settings.port, text(m_settings.socket),
                            CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS)) {
        if (error) tw::Utf8ToWide(mysql_error(mysql.get()), *error);
        return nullptr;
    }
    return mysql;
}

int MySqlConnection::Fail() {
    tw::Utf8ToWide(m_mysql ? mysql_error(m_mysql.get()) : "Not connected.", m_LastError);
    if (m_LastError.empty()) m_LastError = L"unknown MySQL error";
    return DB_ERROR;
}

int MySqlConnection::Connect(const CONN_INFO& info) {
    Disconnect();
    m_ConInfo = info;
    m_LastError.clear();
    {
        std::lock_guard lock(m_settingsMutex);
        if (!ParseSettings(info.ConnectString(), m_settings, m_LastError)) return DB_ERROR;
    }
    m_mysql = Open(&m_LastError);
    if (!m_mysql) return DB_ERROR;
    m_threadId = mysql_thread_id(m_mysql.get());
    m_Connected = true;
    return DB_OK;
}

void MySqlConnection::Disconnect() {
    CloseCursor(0);
    m_mysql.reset();
    m_threadId = 0;
    m_Connected = false;
}

void MySqlConnection::Kill(const char* what) {
    const unsigned long threadId = m_threadId;
    if (threadId == 0) return;
    // The busy connection cannot take another command; a second one asks the server.
    std::lock_guard lock(m_settingsMutex);
    auto other = Open(nullptr);
    if (!other) return;
    const std::string kill = std::string(what) + std::to_string(threadId);
    mysql_real_query(other.get(), kill.data(), kill.size());
}

void MySqlConnection::Cancel() { Kill("KILL QUERY "); }

void MySqlConnection::Reopen() {
    // The server runs the statements of a script one after another whether or not their results are read, and a
    // SLEEP stopped by KILL QUERY counts as finished: reading the rest could take minutes. Ending the session
    // ends them all; a new session keeps the connection usable.
    Kill("KILL CONNECTION ");
    m_result.reset();
    m_mysql.reset();
    m_threadId = 0;
    m_mysql = Open(&m_LastError);
    if (m_mysql) {
        m_threadId = mysql_thread_id(m_mysql.get());
    } else {
        m_Connected = false;
    }
}

int MySqlConnection::Execute(const std::wstring& script, int) {
    CloseCursor(0);
    m_LastError.clear();
    if (!m_mysql) {
        m_LastError = L"Not connected.";
        return DB_ERROR;
    }
    if (CancelAllRequested()) {
        m_LastError = kCancelledText;
        return DB_ERROR;
    }
    const std::string text = tw::WideToUtf8(script);
    if (mysql_real_query(m_mysql.get(), text.data(), text.size()) != 0) return Fail();
    const int rc = NextResultWithColumns();
    return rc == DB_ERROR ? DB_ERROR : DB_OK;
}

int MySqlConnection::NextResultWithColumns() {
    for (;;) {
        if (mysql_field_count(m_mysql.get()) > 0) {
            m_result.reset(mysql_use_result(m_mysql.get()));
            if (!m_result) return Fail();
            const unsigned count = mysql_num_fields(m_result.get());
            const MYSQL_FIELD* fields = mysql_fetch_fields(m_result.get());
            m_types.resize(count);
            m_kinds.resize(count);
            m_names.resize(count);
            for (unsigned i = 0; i < count; ++i) {
                Classify(fields[i], m_types[i], m_kinds[i]);
                tw::Utf8ToWide(std::string_view(fields[i].name, fields[i].name_length), m_names[i]);
            }
            return DB_OK;
        }
        const int status = mysql_next_result(m_mysql.get());
        if (status < 0) return DB_NO_DATA;
        if (status > 0) return Fail();
    }
}

int MySqlConnection::GetColumnCount(int& count, int) {
    count = m_result ? static_cast<int>(m_types.size()) : 0;
    return DB_OK;
}

int MySqlConnection::GetColumnName(int column, std::wstring& name) {
    return ColumnAt(m_names, column, m_result != nullptr, name);
}

int MySqlConnection::GetColumnType(int column, int& type, int, int) {
    return ColumnAt(m_types, column, m_result != nullptr, type);
}

int MySqlConnection::Fetch(int) {
    m_row = nullptr;
    if (!m_result) return DB_NO_DATA;
    m_row = mysql_fetch_row(m_result.get());
    if (m_row) {
        m_lengths = mysql_fetch_lengths(m_result.get());
        return DB_OK;
    }
    if (mysql_errno(m_mysql.get()) != 0) {
        m_fetchFailed = true;
        Fail();
        m_result.reset();
        return DB_ERROR;
    }
    return DB_NO_DATA;
}

// A value's text as GetValue gives it (wide) or as GetValueUtf8 does (UTF-8: the connection's utf8mb4 bytes
// as they stand, the other kinds rewritten alike).
template <typename Text>
int MySqlConnection::ReadValue(int column, Text& value) {
    if (!m_row || column < 1 || column > static_cast<int>(m_kinds.size())) return DB_ERROR;
    const auto index = static_cast<size_t>(column - 1);
    const char* data = m_row[index];
    if (!data) {
        value.clear();
        return DB_OK;
    }
    const std::string_view text(data, m_lengths[index]);
    switch (m_kinds[index]) {
        case ValueKind::Text: tw::db::AssignUtf8(text, value); break;
        case ValueKind::Float: tw::db::AssignDoubleText(text, true, value); break;
        case ValueKind::Double: tw::db::AssignDoubleText(text, false, value); break;
        case ValueKind::Time: tw::db::AssignTimeText(text, value); break;
        case ValueKind::Binary: tw::db::AssignHex(text.data(), text.size(), value); break;
        case ValueKind::Bit: {
            // BIT(n) comes as big-endian bytes.
            unsigned long long number = 0;
            for (const char byte : text) number = (number << 8) | static_cast<unsigned char>(byte);
            char buffer[24];
            const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
            tw::db::AssignAscii(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), value);
            break;
        }
    }
    return DB_OK;
}

int MySqlConnection::GetValue(int column, std::wstring& value, int, int, int) { return ReadValue(column, value); }

int MySqlConnection::GetValueUtf8(int column, std::string& value) { return ReadValue(column, value); }

int MySqlConnection::NextResultSet(int) {
    m_row = nullptr;
    if (m_fetchFailed) {
        m_fetchFailed = false;
        return DB_ERROR;
    }
    if (!m_mysql) return DB_NO_DATA;
    if (m_result) {
        // Reads the rows left unread; an error among them ends the script.
        while (mysql_fetch_row(m_result.get())) {
        }
        const bool failed = mysql_errno(m_mysql.get()) != 0;
        m_result.reset();
        if (failed) return Fail();
    }
    m_types.clear();
    m_kinds.clear();
    m_names.clear();
    // A KILL QUERY that came between two statements of the script did not stop the next one.
    if (CancelAllRequested()) {
        m_LastError = kCancelledText;
        return DB_ERROR;
    }
    const int status = mysql_next_result(m_mysql.get());
    if (status < 0) return DB_NO_DATA;
    if (status > 0) return Fail();
    return NextResultWithColumns();
}

void MySqlConnection::EndResults() {
    if (m_mysql && CancelAllRequested() && (m_result || mysql_more_results(m_mysql.get()))) {
        Reopen();
        return;
    }
    m_result.reset();
    if (!m_mysql) return;
    // The connection takes no new query before every result of the last one is read.
    while (mysql_more_results(m_mysql.get()) && mysql_next_result(m_mysql.get()) == 0) {
        std::unique_ptr<MYSQL_RES, ResultFreer> rest(mysql_use_result(m_mysql.get()));
    }
}

int MySqlConnection::CloseCursor(int) {
    m_row = nullptr;
    m_lengths = nullptr;
    EndResults();
    m_fetchFailed = false;
    m_types.clear();
    m_kinds.clear();
    m_names.clear();
    return DB_OK;
}

}  // namespace

std::unique_ptr<CDB> tw::db::NewMySqlConnection() { return std::make_unique<MySqlConnection>(); }
