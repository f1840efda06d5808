// PostgreSQL backend: the script is split into statements (CParse, which knows dollar quotes) and they are sent
// one at a time, as psql -f does, so each is committed on its own unless the script opens its own transaction,
// and VACUUM or CREATE DATABASE may stand in a script. Results come back in single-row mode, so no result set is
// ever held whole.

#include <cstdlib>
#include <libpq-fe.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "backends.h"
#include "cdb.h"
#include "fld_desc.h"
#include "text.h"
#include "value_text.h"

namespace {

struct ConnCloser {
    void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
struct ResultClearer {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
struct CancelFreer {
    void operator()(PGcancel* cancel) const noexcept { PQfreeCancel(cancel); }
};
using Result = std::unique_ptr<PGresult, ResultClearer>;

// Built-in type OIDs (pg_type.h); they never change between server versions.
enum : Oid {
    kBool = 16, kBytea = 17, kChar = 18, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
    kFloat4 = 700, kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTime = 1083, kTimestamp = 1114,
    kTimestampTz = 1184, kTimeTz = 1266, kNumeric = 1700
};

int TypeFromOid(Oid oid) {
    switch (oid) {
        case kBool: return TC_BIT;
        case kBytea: return TC_BINARY;
        case kChar:
        case kBpchar: return TC_CHAR;
        case kInt8: return TC_BIGINT;
        case kInt2: return TC_SMALLINT;
        case kInt4:
        case kOid: return TC_INTEGER;
        case kFloat4: return TC_REAL;
        case kFloat8: return TC_DOUBLE;
        case kNumeric: return TC_NUMERIC;
        case kDate: return TC_DATE;
        case kTime:
        case kTimeTz: return TC_TIME;
        case kTimestamp:
        case kTimestampTz: return TC_TIMESTAMP;
        case kText: return TC_LONGVARCHAR;
        default: return TC_VARCHAR;
    }
}

// How GetValue turns the server's text of a column into ours.
enum class ValueKind { Text, Bool, Bytea, Float4, Float8, Time, TimeWithZone };

ValueKind KindFromOid(Oid oid) {
    switch (oid) {
        case kBool: return ValueKind::Bool;
        case kBytea: return ValueKind::Bytea;
        case kFloat4: return ValueKind::Float4;
        case kFloat8: return ValueKind::Float8;
        // A time of day with a zone keeps its offset, as psql shows it: without a date it cannot be moved
        // into the session's zone.
        case kTime:
        case kTimeTz:
        case kTimestamp: return ValueKind::Time;
        case kTimestampTz: return ValueKind::TimeWithZone;
        default: return ValueKind::Text;
    }
}

// A timestamp with time zone without its zone offset ("+01", "-05:30"): the value reads in the session's time
// zone like the other backends' timestamps. The era of a date before year 1 (" BC" at the end) stays.
template <typename Text>
void AssignWithoutZone(std::string_view text, Text& out) {
    constexpr std::string_view kEra = " BC";
    const bool bc = text.ends_with(kEra);
    std::string_view time = bc ? text.substr(0, text.size() - kEra.size()) : text;
    const size_t sign = time.find_last_of("+-");
    // A date's own hyphens stand before the blank that separates it from the time.
    if (sign != std::string_view::npos && sign > time.find(':')) time = time.substr(0, sign);
    tw::db::AssignTimeText(time, out);
    if (bc) {
        for (const char c : kEra) out.push_back(static_cast<typename Text::value_type>(c));
    }
}

class PostgreSqlConnection final : public CDB {
public:
    PostgreSqlConnection() { m_Type = DS_POSTGRESQL; }
    ~PostgreSqlConnection() override { Disconnect(); }

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
    // Runs statements and reads their results until the next result with columns (DB_OK), the end of the
    // script (DB_NO_DATA) or an error (DB_ERROR), which ends the script.
    int NextResultWithColumns();
    // Sends the next statement of the script unless a stop was asked for.
    int SendNextStatement();
    // Reads and drops what is left of the current result set.
    void SkipRows();
    // Reads and drops every result left of the running statement and runs no further statement.
    void Drain();
    // Ends a COPY that a statement started: a report script has no data to give or take.
    void EndCopy(ExecStatusType status);
    int Fail(const char* message);
    void TakeColumns(const PGresult* result);

    std::unique_ptr<PGconn, ConnCloser> m_conn;
    std::unique_ptr<PGcancel, CancelFreer> m_cancel;
    // Guards m_cancel and orders a stop request against sending the next statement.
    std::mutex m_cancelMutex;
    bool m_stopRequested = false;  // Cancel was called during this script: no further statement is sent
    std::vector<std::string> m_statements;  // the script's statements in UTF-8
    size_t m_nextStatement = 0;
    bool m_busy = false;        // a statement was sent and not all of its results are read
    Result m_row;               // the current row (a single-row result) or the empty end of a result set
    bool m_rowPending = false;  // m_row holds a row not handed out yet
    bool m_inRows = false;      // rows of the current result set may follow
    bool m_hasColumns = false;
    bool m_fetchFailed = false;
    std::vector<int> m_types;
    std::vector<ValueKind> m_kinds;
    std::vector<std::wstring> m_names;
};

int PostgreSqlConnection::Fail(const char* message) {
    std::string text = message && *message ? message : "unknown PostgreSQL error";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    tw::Utf8ToWide(text, m_LastError);
    return DB_ERROR;
}

int PostgreSqlConnection::Connect(const CONN_INFO& info) {
    Disconnect();
    m_ConInfo = info;
    m_LastError.clear();
    const std::string conninfo = tw::WideToUtf8(info.ConnectString());
    const std::string timeout = std::to_string(tw::db::kConnectTimeoutSeconds);
    // The connection string comes after the default timeout, so a connect_timeout inside it wins.
    const char* keywords[] = {"connect_timeout", "client_encoding", "dbname", nullptr};
    const char* values[] = {timeout.c_str(), "UTF8", conninfo.c_str(), nullptr};
    std::unique_ptr<PGconn, ConnCloser> conn(PQconnectdbParams(keywords, values, 1));
    if (!conn) {
        m_LastError = L"Out of memory while connecting to PostgreSQL.";
        return DB_ERROR;
    }
    if (PQstatus(conn.get()) != CONNECTION_OK) return Fail(PQerrorMessage(conn.get()));
    PQsetClientEncoding(conn.get(), "UTF8");
    // Notices ("relation already exists, skipping") are no errors; libpq would print them on standard error.
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    // Dates as YYYY-MM-DD whatever the server's default.
    Result set(PQexec(conn.get(), "SET DateStyle = 'ISO, YMD'; SET IntervalStyle = 'iso_8601'"));
    if (PQresultStatus(set.get()) != PGRES_COMMAND_OK) return Fail(PQerrorMessage(conn.get()));
    {
        std::lock_guard lock(m_cancelMutex);
        m_cancel.reset(PQgetCancel(conn.get()));
    }
    m_conn = std::move(conn);
    m_Connected = true;
    return DB_OK;
}

void PostgreSqlConnection::Disconnect() {
    CloseCursor(0);
    {
        std::lock_guard lock(m_cancelMutex);
        m_cancel.reset();
    }
    m_conn.reset();
    m_Connected = false;
}

void PostgreSqlConnection::Cancel() {
    std::lock_guard lock(m_cancelMutex);
    m_stopRequested = true;
    if (!m_cancel) return;
    // The server stops the statement it is running, also one that has not sent its first row yet; the
    // waiting PQgetResult then returns the "canceling statement" error.
    char error[256];
    PQcancel(m_cancel.get(), error, sizeof error);
}

int PostgreSqlConnection::Execute(const std::wstring& script, int) {
    CloseCursor(0);
    m_LastError.clear();
    m_RowsAffected = -1;
    {
        std::lock_guard lock(m_cancelMutex);
        m_stopRequested = false;
    }
    if (!m_conn) {
        m_LastError = L"Not connected.";
        return DB_ERROR;
    }
    if (PQstatus(m_conn.get()) == CONNECTION_BAD) {
        // The server went away since the last run; one new attempt before giving up.
        PQreset(m_conn.get());
        if (PQstatus(m_conn.get()) != CONNECTION_OK) return Fail(PQerrorMessage(m_conn.get()));
        std::lock_guard lock(m_cancelMutex);
        m_cancel.reset(PQgetCancel(m_conn.get()));
    }
    CParse parse;
    parse.Parse(script, 0);
    m_statements.clear();
    for (const std::wstring& statement : parse.Statements()) m_statements.push_back(tw::WideToUtf8(statement));
    m_nextStatement = 0;
    const int rc = NextResultWithColumns();
    return rc == DB_ERROR ? DB_ERROR : DB_OK;
}

int PostgreSqlConnection::SendNextStatement() {
    // Under the lock, so that a stop asked for from now on finds the statement running and cancels it.
    std::lock_guard lock(m_cancelMutex);
    if (m_stopRequested || CancelAllRequested()) {
        m_nextStatement = m_statements.size();
        m_LastError = L"canceling statement due to user request";
        return DB_ERROR;
    }
    const std::string& statement = m_statements[m_nextStatement++];
    if (!PQsendQuery(m_conn.get(), statement.c_str())) {
        m_nextStatement = m_statements.size();
        return Fail(PQerrorMessage(m_conn.get()));
    }
    m_busy = true;
    PQsetSingleRowMode(m_conn.get());
    return DB_OK;
}

int PostgreSqlConnection::NextResultWithColumns() {
    m_row.reset();
    m_rowPending = m_inRows = m_hasColumns = false;
    m_types.clear();
    m_kinds.clear();
    m_names.clear();
    for (;;) {
        if (!m_busy) {
            if (m_nextStatement >= m_statements.size()) return DB_NO_DATA;
            if (SendNextStatement() != DB_OK) return DB_ERROR;
        }
        Result result(PQgetResult(m_conn.get()));
        if (!result) {
            m_busy = false;
            continue;
        }
        const ExecStatusType status = PQresultStatus(result.get());
        switch (status) {
            case PGRES_SINGLE_TUPLE:
                TakeColumns(result.get());
                m_row = std::move(result);
                m_rowPending = m_inRows = true;
                return DB_OK;
            case PGRES_TUPLES_OK:
                TakeColumns(result.get());
                if (m_names.empty()) continue;
                m_row = std::move(result);
                return DB_OK;
            case PGRES_COMMAND_OK: {
                const char* tuples = PQcmdTuples(result.get());
                m_RowsAffected = *tuples != '\0' ? std::atoll(tuples) : 0;
                continue;
            }
            case PGRES_EMPTY_QUERY: continue;
            case PGRES_COPY_IN:
            case PGRES_COPY_OUT:
                EndCopy(status);
                Fail("COPY is not supported in a report script");
                Drain();
                return DB_ERROR;
            default:
                Fail(PQresultErrorMessage(result.get()));
                Drain();
                return DB_ERROR;
        }
    }
}

void PostgreSqlConnection::EndCopy(ExecStatusType status) {
    if (status == PGRES_COPY_IN) {
        PQputCopyEnd(m_conn.get(), "COPY is not supported in a report script");
        return;
    }
    char* data = nullptr;
    while (PQgetCopyData(m_conn.get(), &data, 0) > 0) PQfreemem(data);
}

void PostgreSqlConnection::TakeColumns(const PGresult* result) {
    const int count = PQnfields(result);
    m_hasColumns = count > 0;
    m_types.resize(static_cast<size_t>(count));
    m_kinds.resize(static_cast<size_t>(count));
    m_names.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Oid oid = PQftype(result, i);
        m_types[static_cast<size_t>(i)] = TypeFromOid(oid);
        m_kinds[static_cast<size_t>(i)] = KindFromOid(oid);
        tw::Utf8ToWide(PQfname(result, i), m_names[static_cast<size_t>(i)]);
    }
}

void PostgreSqlConnection::SkipRows() {
    while (m_inRows && Fetch(0) == DB_OK) {
    }
}

void PostgreSqlConnection::Drain() {
    // After a cancel the rows already on their way still arrive one by one; a fast stream can hold seconds of
    // them. Past a short while the connection is reset instead, so a stop ends promptly.
    const auto started = std::chrono::steady_clock::now();
    while (m_busy) {
        bool stopping;
        {
            std::lock_guard lock(m_cancelMutex);
            stopping = m_stopRequested || CancelAllRequested();
        }
        if (stopping && std::chrono::steady_clock::now() - started > std::chrono::milliseconds(200)) {
            PQreset(m_conn.get());
            std::lock_guard lock(m_cancelMutex);
            m_cancel.reset(PQgetCancel(m_conn.get()));
            m_busy = false;
            break;
        }
        Result result(PQgetResult(m_conn.get()));
        if (!result) {
            m_busy = false;
        } else if (const ExecStatusType status = PQresultStatus(result.get());
                   status == PGRES_COPY_IN || status == PGRES_COPY_OUT) {
            EndCopy(status);
        }
    }
    m_nextStatement = m_statements.size();
    m_row.reset();
    m_rowPending = m_inRows = false;
}

int PostgreSqlConnection::GetColumnCount(int& count, int) {
    count = static_cast<int>(m_types.size());
    return DB_OK;
}

int PostgreSqlConnection::GetColumnName(int column, std::wstring& name) {
    return ColumnAt(m_names, column, true, name);
}

int PostgreSqlConnection::GetColumnType(int column, int& type, int, int) {
    return ColumnAt(m_types, column, true, type);
}

int PostgreSqlConnection::Fetch(int) {
    if (m_rowPending) {
        m_rowPending = false;
        return DB_OK;
    }
    if (!m_inRows) return DB_NO_DATA;
    Result result(PQgetResult(m_conn.get()));
    if (!result) {
        m_busy = m_inRows = false;
        m_row.reset();
        return DB_NO_DATA;
    }
    switch (PQresultStatus(result.get())) {
        case PGRES_SINGLE_TUPLE: m_row = std::move(result); return DB_OK;
        case PGRES_TUPLES_OK:
            // The empty result that ends the set.
            m_inRows = false;
            m_row.reset();
            return DB_NO_DATA;
        default:
            // The statement failed after some rows, or the server went away.
            Fail(PQresultErrorMessage(result.get()));
            if (m_LastError.empty()) Fail(PQerrorMessage(m_conn.get()));
            m_fetchFailed = true;
            Drain();
            return DB_ERROR;
    }
}

// A value's text as GetValue gives it (wide) or as GetValueUtf8 does (UTF-8: the connection's bytes as they
// stand, the other kinds rewritten alike).
template <typename Text>
int PostgreSqlConnection::ReadValue(int column, Text& value) {
    if (!m_row || column < 1 || column > static_cast<int>(m_kinds.size())) return DB_ERROR;
    const int index = column - 1;
    if (PQntuples(m_row.get()) < 1 || PQgetisnull(m_row.get(), 0, index)) {
        value.clear();
        return DB_OK;
    }
    const std::string_view text(PQgetvalue(m_row.get(), 0, index),
                                static_cast<size_t>(PQgetlength(m_row.get(), 0, index)));
    switch (m_kinds[static_cast<size_t>(index)]) {
        case ValueKind::Text: tw::db::AssignUtf8(text, value); break;
        case ValueKind::Bool: tw::db::AssignAscii(text == "t" ? "1" : "0", value); break;
        case ValueKind::Float4: tw::db::AssignDoubleText(text, true, value); break;
        case ValueKind::Float8: tw::db::AssignDoubleText(text, false, value); break;
        case ValueKind::Time: tw::db::AssignTimeText(text, value); break;
        case ValueKind::TimeWithZone: AssignWithoutZone(text, value); break;
        case ValueKind::Bytea: {
            // The hex output format: "\x" and two lower-case digits a byte.
            const std::string_view digits = text.starts_with("\\x") ? text.substr(2) : text;
            value.resize(digits.size());
            for (size_t i = 0; i < digits.size(); ++i) {
                const char c = digits[i];
                value[i] = static_cast<typename Text::value_type>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
            }
            break;
        }
    }
    return DB_OK;
}

int PostgreSqlConnection::GetValue(int column, std::wstring& value, int, int, int) { return ReadValue(column, value); }

int PostgreSqlConnection::GetValueUtf8(int column, std::string& value) { return ReadValue(column, value); }

int PostgreSqlConnection::NextResultSet(int) {
    if (m_fetchFailed) {
        m_fetchFailed = false;
        return DB_ERROR;
    }
    SkipRows();
    if (m_fetchFailed) {
        m_fetchFailed = false;
        return DB_ERROR;
    }
    return NextResultWithColumns();
}

int PostgreSqlConnection::CloseCursor(int) {
    if (m_busy && m_conn) Drain();
    m_statements.clear();
    m_nextStatement = 0;
    // A transaction the script opened and did not end is rolled back, as at the end of a psql session; a
    // failed one would otherwise refuse every later statement on this connection.
    if (m_conn && PQstatus(m_conn.get()) == CONNECTION_OK && PQtransactionStatus(m_conn.get()) != PQTRANS_IDLE)
        Result(PQexec(m_conn.get(), "ROLLBACK"));
    m_row.reset();
    m_rowPending = m_inRows = m_hasColumns = m_fetchFailed = false;
    m_types.clear();
    m_kinds.clear();
    m_names.clear();
    return DB_OK;
}

}  // namespace

std::unique_ptr<CDB> tw::db::NewPostgreSqlConnection() { return std::make_unique<PostgreSqlConnection>(); }
