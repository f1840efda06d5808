// ODBC backend (unixODBC): the script is split into statements, each run with SQLExecDirectW; rows are fetched
// one at a time and read with SQLGetData, text as UTF-16 so no driver's idea of the locale gets in the way.

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "backends.h"
#include "cdb.h"
#include "fld_desc.h"
#include "text.h"
#include "value_text.h"

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

struct Handle {
    SQLSMALLINT type = 0;
    SQLHANDLE handle = SQL_NULL_HANDLE;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }
    void Reset() noexcept {
        if (handle != SQL_NULL_HANDLE) SQLFreeHandle(type, handle);
        handle = SQL_NULL_HANDLE;
    }
    bool Allocate(SQLSMALLINT handleType, SQLHANDLE parent) {
        Reset();
        type = handleType;
        return SQL_SUCCEEDED(SQLAllocHandle(handleType, parent, &handle));
    }
};

std::u16string ToUtf16(std::wstring_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (const wchar_t c : text) {
        const auto cp = static_cast<char32_t>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            result.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            result.push_back(cp > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(cp));
        }
    }
    return result;
}

SQLWCHAR* Sql(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

// How a column is read with SQLGetData.
enum class ReadAs { Text, Ascii, Time, Double, Float, Binary };

void Classify(SQLSMALLINT sqlType, int& type, ReadAs& readAs) {
    switch (sqlType) {
        case SQL_TYPE_DATE: type = TC_DATE; break;
        case SQL_TYPE_TIME: type = TC_TIME; break;
        case SQL_TYPE_TIMESTAMP: type = TC_TIMESTAMP; break;
        case SQL_GUID: type = TC_VARCHAR; break;
        default: type = sqlType;
    }
    switch (type) {
        case TC_INTEGER:
        case TC_SMALLINT:
        case TC_TINYINT:
        case TC_BIGINT:
        case TC_BIT:
        case TC_NUMERIC:
        case TC_DECIMAL: readAs = ReadAs::Ascii; break;
        // Dates as text: some drivers (SQLite's) keep whatever text was stored and cannot convert it.
        case TC_DATE:
        case TC_TIME:
        case TC_TIMESTAMP: readAs = ReadAs::Time; break;
        case TC_FLOAT:
        case TC_DOUBLE: readAs = ReadAs::Double; break;
        case TC_REAL: readAs = ReadAs::Float; break;
        case TC_BINARY:
        case TC_VARBINARY:
        case TC_LONGVARBINARY: readAs = ReadAs::Binary; break;
        default: readAs = ReadAs::Text;
    }
    if (type == TC_VARBINARY || type == TC_LONGVARBINARY) type = TC_BINARY;
}

class OdbcConnection final : public CDB {
public:
    OdbcConnection() { m_Type = DS_ODBC; }
    ~OdbcConnection() override { Disconnect(); }

    int Connect(const CONN_INFO& info) override;
    void Disconnect() override;
    int Execute(const std::wstring& script, int) override;
    int GetColumnCount(int& count, int) override;
    int GetColumnName(int column, std::wstring& name) override;
    int GetColumnType(int column, int& type, int, int) override;
    int Fetch(int) override;
    int GetValue(int column, std::wstring& value, int, int, int) override;
    int NextResultSet(int) override;
    int CloseCursor(int) override;
    void Cancel() override;

private:
    int Fail(SQLSMALLINT handleType, SQLHANDLE handle);
    // Runs statements until one yields columns (DB_OK), none are left (DB_NO_DATA) or one fails (DB_ERROR).
    int RunUntilColumns();
    // The columns of the result now open on the statement handle; false when it has none.
    bool TakeColumns();
    bool ReadColumn(size_t index, std::wstring& out);

    Handle m_env, m_dbc, m_stmt;
    std::mutex m_stmtMutex;  // Cancel reads m_stmt from another thread
    CParse m_parse;
    int m_nextStatement = 0;
    bool m_resultOpen = false;  // a result set is open on m_stmt
    bool m_rowCurrent = false;
    bool m_fetchFailed = false;
    std::vector<int> m_types;
    std::vector<ReadAs> m_readAs;
    std::vector<std::wstring> m_names;
    // Values of the current row already read: SQLGetData reads a column only once.
    std::vector<std::wstring> m_values;
    std::vector<bool> m_valueRead;
    std::vector<char> m_buffer;
    std::u16string m_units;
};

int OdbcConnection::Fail(SQLSMALLINT handleType, SQLHANDLE handle) {
    m_LastError.clear();
    SQLWCHAR state[6];
    SQLWCHAR message[1024];
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 1; record <= 5; ++record) {
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message,
                                          static_cast<SQLSMALLINT>(std::size(message)), &length)))
            break;
        std::wstring text;
        const size_t count = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                              std::size(message) - 1);
        tw::db::AssignUtf16(reinterpret_cast<const char16_t*>(message), count, text);
        if (!m_LastError.empty()) m_LastError += L"\n";
        m_LastError += text;
    }
    if (m_LastError.empty()) m_LastError = L"unknown ODBC error";
    return DB_ERROR;
}

int OdbcConnection::Connect(const CONN_INFO& info) {
    Disconnect();
    m_ConInfo = info;
    m_LastError.clear();
    if (!m_env.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE)) {
        m_LastError = L"Could not start ODBC (unixODBC missing?).";
        return DB_ERROR;
    }
    SQLSetEnvAttr(m_env.handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!m_dbc.Allocate(SQL_HANDLE_DBC, m_env.handle)) return Fail(SQL_HANDLE_ENV, m_env.handle);
    SQLSetConnectAttr(m_dbc.handle, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(tw::db::kConnectTimeoutSeconds)), 0);
    std::u16string connection = ToUtf16(info.Connection);
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(m_dbc.handle, nullptr, Sql(connection), static_cast<SQLSMALLINT>(connection.size()),
                          completed, static_cast<SQLSMALLINT>(std::size(completed)), &completedLength,
                          SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        Fail(SQL_HANDLE_DBC, m_dbc.handle);
        m_dbc.Reset();
        m_env.Reset();
        return DB_ERROR;
    }
    m_Connected = true;
    return DB_OK;
}

void OdbcConnection::Disconnect() {
    CloseCursor(0);
    {
        std::lock_guard lock(m_stmtMutex);
        m_stmt.Reset();
    }
    if (m_Connected) SQLDisconnect(m_dbc.handle);
    m_dbc.Reset();
    m_env.Reset();
    m_Connected = false;
}

void OdbcConnection::Cancel() {
    std::lock_guard lock(m_stmtMutex);
    if (m_stmt.handle != SQL_NULL_HANDLE) SQLCancel(m_stmt.handle);
}

int OdbcConnection::Execute(const std::wstring& script, int) {
    CloseCursor(0);
    m_LastError.clear();
    if (!m_Connected) {
        m_LastError = L"Not connected.";
        return DB_ERROR;
    }
    if (m_stmt.handle == SQL_NULL_HANDLE) {
        std::lock_guard lock(m_stmtMutex);
        if (!m_stmt.Allocate(SQL_HANDLE_STMT, m_dbc.handle)) return Fail(SQL_HANDLE_DBC, m_dbc.handle);
    }
    m_parse.Parse(script, 0);
    m_nextStatement = 0;
    const int rc = RunUntilColumns();
    return rc == DB_ERROR ? DB_ERROR : DB_OK;
}

int OdbcConnection::RunUntilColumns() {
    while (m_nextStatement < m_parse.Count()) {
        if (CancelAllRequested()) {
            m_LastError = kCancelledText;
            m_nextStatement = m_parse.Count();
            return DB_ERROR;
        }
        std::u16string statement = ToUtf16(m_parse.Statement(m_nextStatement++));
        const SQLRETURN rc = SQLExecDirectW(m_stmt.handle, Sql(statement), static_cast<SQLINTEGER>(statement.size()));
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) {
            Fail(SQL_HANDLE_STMT, m_stmt.handle);
            SQLFreeStmt(m_stmt.handle, SQL_CLOSE);
            m_nextStatement = m_parse.Count();
            return DB_ERROR;
        }
        if (TakeColumns()) return DB_OK;
        SQLFreeStmt(m_stmt.handle, SQL_CLOSE);
    }
    return DB_NO_DATA;
}

bool OdbcConnection::TakeColumns() {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt.handle, &count)) || count <= 0) return false;
    const auto size = static_cast<size_t>(count);
    m_types.resize(size);
    m_readAs.resize(size);
    m_names.resize(size);
    m_values.resize(size);
    m_valueRead.assign(size, false);
    for (SQLUSMALLINT i = 0; i < size; ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN columnSize = 0;
        SQLDescribeColW(m_stmt.handle, static_cast<SQLUSMALLINT>(i + 1), name, static_cast<SQLSMALLINT>(std::size(name)),
                        &nameLength, &sqlType, &columnSize, &digits, &nullable);
        const size_t length = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(nameLength, 0)),
                                               std::size(name) - 1);
        tw::db::AssignUtf16(reinterpret_cast<const char16_t*>(name), length, m_names[i]);
        Classify(sqlType, m_types[i], m_readAs[i]);
    }
    m_resultOpen = true;
    return true;
}

int OdbcConnection::GetColumnCount(int& count, int) {
    count = m_resultOpen ? static_cast<int>(m_types.size()) : 0;
    return DB_OK;
}

int OdbcConnection::GetColumnName(int column, std::wstring& name) {
    return ColumnAt(m_names, column, m_resultOpen, name);
}

int OdbcConnection::GetColumnType(int column, int& type, int, int) {
    return ColumnAt(m_types, column, m_resultOpen, type);
}

int OdbcConnection::Fetch(int) {
    m_rowCurrent = false;
    if (!m_resultOpen) return DB_NO_DATA;
    const SQLRETURN rc = SQLFetch(m_stmt.handle);
    if (rc == SQL_NO_DATA) return DB_NO_DATA;
    if (!SQL_SUCCEEDED(rc)) {
        m_fetchFailed = true;
        return Fail(SQL_HANDLE_STMT, m_stmt.handle);
    }
    m_valueRead.assign(m_valueRead.size(), false);
    m_rowCurrent = true;
    return DB_OK;
}

bool OdbcConnection::ReadColumn(size_t index, std::wstring& out) {
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    ReadAs readAs = m_readAs[index];
    SQLLEN indicator = 0;
    bool nullOnFailure = false;
    if (readAs == ReadAs::Double || readAs == ReadAs::Float) {
        double number = 0;
        float single = 0;
        const SQLRETURN rc = readAs == ReadAs::Double
                                 ? SQLGetData(m_stmt.handle, column, SQL_C_DOUBLE, &number, sizeof number, &indicator)
                                 : SQLGetData(m_stmt.handle, column, SQL_C_FLOAT, &single, sizeof single, &indicator);
        if (SQL_SUCCEEDED(rc) && indicator != SQL_NULL_DATA) {
            if (readAs == ReadAs::Double)
                tw::db::AssignDouble(number, out);
            else
                tw::db::AssignFloat(single, out);
            return true;
        }
        // A value the driver cannot convert to the column's number type (SQLite keeps 'abc' in a NUMERIC
        // column) is read as the text it is; SQLite's driver calls such a value NULL, so a NULL is asked
        // again as text, and stays NULL when the driver will not give the column twice.
        readAs = ReadAs::Text;
        nullOnFailure = SQL_SUCCEEDED(rc);
    }

    // Variable-length data arrives in pieces; SQL_SUCCESS_WITH_INFO means more follows.
    const bool wide = readAs == ReadAs::Text;
    const SQLSMALLINT cType = wide ? SQL_C_WCHAR : readAs == ReadAs::Binary ? SQL_C_BINARY : SQL_C_CHAR;
    const size_t terminator = wide ? sizeof(SQLWCHAR) : readAs == ReadAs::Binary ? 0 : 1;
    m_buffer.clear();
    size_t received = 0;
    for (;;) {
        if (m_buffer.size() < received + 4096) m_buffer.resize(received + 4096);
        const size_t room = m_buffer.size() - received;
        const SQLRETURN rc = SQLGetData(m_stmt.handle, column, cType, m_buffer.data() + received,
                                        static_cast<SQLLEN>(room), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            if (!nullOnFailure) return false;
            out.clear();
            return true;
        }
        if (indicator == SQL_NULL_DATA) {
            out.clear();
            return true;
        }
        if (rc == SQL_SUCCESS) {
            received += static_cast<size_t>(indicator);
            break;
        }
        // Truncated: the buffer is full but for the terminator.
        received += room - terminator;
        if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) > room)
            m_buffer.resize(received + static_cast<size_t>(indicator) - (room - terminator) + terminator + 16);
    }
    const std::string_view bytes(m_buffer.data(), received);
    switch (readAs) {
        case ReadAs::Text:
            m_units.resize(received / sizeof(char16_t));
            std::memcpy(m_units.data(), m_buffer.data(), m_units.size() * sizeof(char16_t));
            tw::db::AssignUtf16(m_units.data(), m_units.size(), out);
            break;
        case ReadAs::Binary: tw::db::AssignHex(bytes.data(), bytes.size(), out); break;
        case ReadAs::Time: tw::db::AssignTimeText(bytes, out); break;
        default: tw::db::AssignAscii(bytes, out); break;
    }
    return true;
}

int OdbcConnection::GetValue(int column, std::wstring& value, int, int, int) {
    if (!m_rowCurrent || column < 1 || column > static_cast<int>(m_types.size())) return DB_ERROR;
    const auto index = static_cast<size_t>(column - 1);
    if (!m_valueRead[index]) {
        // Drivers read columns in order only: the ones skipped are read now and kept.
        for (size_t skipped = 0; skipped < index; ++skipped) {
            if (m_valueRead[skipped]) continue;
            if (!ReadColumn(skipped, m_values[skipped])) return Fail(SQL_HANDLE_STMT, m_stmt.handle);
            m_valueRead[skipped] = true;
        }
        if (!ReadColumn(index, m_values[index])) return Fail(SQL_HANDLE_STMT, m_stmt.handle);
        m_valueRead[index] = true;
    }
    value.assign(m_values[index]);
    return DB_OK;
}

int OdbcConnection::NextResultSet(int) {
    m_rowCurrent = false;
    if (m_fetchFailed) {
        m_fetchFailed = false;
        return DB_ERROR;
    }
    if (!m_Connected || m_stmt.handle == SQL_NULL_HANDLE) return DB_NO_DATA;
    if (m_resultOpen) {
        m_resultOpen = false;
        // One statement may yield several results.
        for (;;) {
            const SQLRETURN rc = SQLMoreResults(m_stmt.handle);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) {
                Fail(SQL_HANDLE_STMT, m_stmt.handle);
                SQLFreeStmt(m_stmt.handle, SQL_CLOSE);
                m_nextStatement = m_parse.Count();
                return DB_ERROR;
            }
            if (TakeColumns()) return DB_OK;
        }
        SQLFreeStmt(m_stmt.handle, SQL_CLOSE);
    }
    return RunUntilColumns();
}

int OdbcConnection::CloseCursor(int) {
    if (m_stmt.handle != SQL_NULL_HANDLE) SQLFreeStmt(m_stmt.handle, SQL_CLOSE);
    m_resultOpen = m_rowCurrent = m_fetchFailed = false;
    m_parse.Clear();
    m_nextStatement = 0;
    m_types.clear();
    m_readAs.clear();
    m_names.clear();
    return DB_OK;
}

}  // namespace

std::unique_ptr<CDB> tw::db::NewOdbcConnection() { return std::make_unique<OdbcConnection>(); }
