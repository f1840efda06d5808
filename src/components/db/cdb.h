#pragma once
// A database connection with streaming results: the base class of one backend per data-source type.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "conn_info.h"
#include "cparse.h"
#include "fld_desc.h"

// Result codes of the operations.
enum DB_RESULT { DB_OK = 0, DB_NO_DATA = 100, DB_ERROR = -1 };

class CDB {
public:
    // A new, unconnected connection of the type; null for an unknown type.
    static std::unique_ptr<CDB> newDB(DS_TYPE type);
    static bool isOK(int result) { return result == DB_OK; }

    virtual ~CDB() = default;

    // Opens the connection (connect timeout 10 seconds unless the connection string says otherwise).
    virtual int Connect(const CONN_INFO& info) = 0;
    virtual void Disconnect() = 0;
    int IsConnected() const { return m_Connected ? 1 : 0; }

    // Runs a statement or a whole script; the first result set (if any) becomes current. DB_ERROR with the
    // database's text in m_LastError when a statement fails before the first result set.
    virtual int Execute(const std::wstring& script, int) = 0;
    virtual int GetColumnCount(int& count, int) = 0;
    virtual int GetColumnName(int column, std::wstring& name) = 0;
    virtual int GetColumnType(int column, int& type, int, int) = 0;
    // DB_OK when a row is current, DB_NO_DATA at the end, DB_ERROR (m_LastError) when fetching failed.
    virtual int Fetch(int) = 0;
    // The value of column (from 1) of the current row as text; NULL is the empty text.
    virtual int GetValue(int column, std::wstring& value, int, int, int) = 0;
    // The same value as the UTF-8 bytes it is read from, for a value that goes into the report unchanged: a
    // byte that begins no valid UTF-8 sequence stands for its Windows-1252 character, as tw::Utf8ToWide reads
    // it, so decoding the bytes gives GetValue's text. This default encodes GetValue's text.
    virtual int GetValueUtf8(int column, std::string& value);
    // True when GetValueUtf8 is the backend's own, cheaper than GetValue (its values arrive as UTF-8).
    virtual bool HasUtf8Values() const { return false; }
    // DB_OK when another result set is current, DB_NO_DATA at the end of the script, DB_ERROR (m_LastError)
    // when a later statement failed.
    virtual int NextResultSet(int) = 0;
    // Releases the results of the last Execute, also a failed one.
    virtual int CloseCursor(int) = 0;
    // Asks a running Execute or Fetch to stop; safe to call from another thread. Only what runs at that moment
    // is stopped: the next Execute runs normally.
    virtual void Cancel() {}
    // Cancel, and every statement the connection would start afterwards fails at once until ResetCancel, so a
    // stop that arrives between two statements (or just before one begins) is not lost. Safe from another
    // thread; the report run calls it for a stop request.
    void CancelAll() {
        m_cancelAll.store(true);
        Cancel();
    }
    void ResetCancel() { m_cancelAll.store(false); }
    bool CancelAllRequested() const { return m_cancelAll.load(std::memory_order_relaxed); }

    // One line for the project window.
    virtual std::wstring ConInfo(int, int) const { return m_ConInfo.ConInfo(); }

protected:
    // Column i of the current result set's names or types into out: DB_OK, or DB_ERROR when there is no result
    // set (open false) or no such column. Shared by the backends' GetColumnName and GetColumnType.
    template <class T>
    static int ColumnAt(const std::vector<T>& columns, int column, bool open, T& out) {
        if (!open || column < 0 || column >= static_cast<int>(columns.size())) return DB_ERROR;
        out = columns[static_cast<size_t>(column)];
        return DB_OK;
    }

public:
    std::wstring m_LastError;
    // Rows changed by the last statement without a result set that Execute or NextResultSet went past; -1 when
    // the backend does not tell (the SQL console shows it).
    long long m_RowsAffected = -1;
    bool m_Connected = false;
    CONN_INFO m_ConInfo;
    DS_TYPE m_Type = DS_SQLITE;

protected:
    // The text a statement refused after CancelAll fails with.
    static constexpr const wchar_t* kCancelledText = L"The statement was cancelled.";

private:
    std::atomic<bool> m_cancelAll{false};
    std::wstring m_wideValue;  // GetValueUtf8's default, reused
};
