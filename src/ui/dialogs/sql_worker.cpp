#include "sql_worker.h"

#include "cdb.h"

SqlWorker::SqlWorker(CDB* connection) : m_db(connection) {}

void SqlWorker::RequestStop() {
    m_stop.store(true);
    m_db->Cancel();
}

void SqlWorker::Run(const QStringList& statements) {
    Close();
    m_stop.store(false);
    m_statements = statements;
    m_index = -1;
    NextStatement();
}

void SqlWorker::NextStatement() {
    while (++m_index < m_statements.size()) {
        if (m_stop.load()) {
            emit statementDone(m_index, -1, false, 0, true, tr("Stopped before it started."));
            break;
        }
        m_clock.start();
        m_rows = 0;
        m_hadSet = false;
        if (m_db->Execute(m_statements[m_index].toStdWString(), 0) != DB_OK) {
            Fail();
            break;
        }
        if (!ServeSets(true)) return;
    }
    emit idle();
}

bool SqlWorker::ServeSets(bool first) {
    for (;; first = false) {
        if (!first) {
            const int next = m_db->NextResultSet(0);
            if (next == DB_NO_DATA) break;
            if (next != DB_OK) {
                Fail();
                emit idle();
                return false;
            }
        }
        int columnCount = 0;
        if (m_db->GetColumnCount(columnCount, 0) != DB_OK || columnCount <= 0) continue;
        QStringList columns;
        for (int column = 0; column < columnCount; ++column) {
            std::wstring name;
            m_db->GetColumnName(column, name);
            columns << QString::fromStdWString(name);
        }
        const int setId = m_nextSet++;
        m_hadSet = true;
        emit resultSet(setId, m_index, columns);
        const bool last = m_index + 1 == m_statements.size();
        const Fetched fetched = FetchInto(setId, last ? kBatchRows : kEarlierSetRows, !last);
        if (fetched == Fetched::Failed) {
            emit idle();
            return false;
        }
        if (fetched == Fetched::More) {
            m_openSet = setId;
            emit statementDone(m_index, m_rows, false, m_clock.elapsed(), false,
                               tr("More rows are read as the grid scrolls."));
            emit idle();
            return false;
        }
    }
    m_db->CloseCursor(0);
    if (m_hadSet) emit statementDone(m_index, m_rows, false, m_clock.elapsed(), false, QString());
    else emit statementDone(m_index, m_db->m_RowsAffected, true, m_clock.elapsed(), false, QString());
    return true;
}

SqlWorker::Fetched SqlWorker::FetchInto(int setId, int limit, bool cutAtLimit) {
    int columnCount = 0;
    m_db->GetColumnCount(columnCount, 0);
    QList<QStringList> batch;
    std::wstring value;
    for (int count = 0; count < limit; ++count) {
        const int fetched = m_stop.load() ? DB_ERROR : m_db->Fetch(0);
        if (fetched == DB_NO_DATA) {
            emit rows(setId, batch, true, false);
            return Fetched::Ended;
        }
        if (fetched != DB_OK) {
            emit rows(setId, batch, true, true);
            Fail();
            return Fetched::Failed;
        }
        QStringList row;
        row.reserve(columnCount);
        for (int column = 1; column <= columnCount; ++column) {
            value.clear();
            m_db->GetValue(column, value, 0, 0, 0);
            row << QString::fromStdWString(value);
        }
        batch << row;
        ++m_rows;
    }
    emit rows(setId, batch, cutAtLimit, cutAtLimit);
    return cutAtLimit ? Fetched::Ended : Fetched::More;
}

void SqlWorker::FetchMore(int setId) {
    if (setId != m_openSet) return;
    const Fetched fetched = FetchInto(setId, kBatchRows, false);
    if (fetched == Fetched::More) {
        emit idle();
        return;
    }
    m_openSet = -1;
    if (fetched == Fetched::Failed) {
        emit idle();
        return;
    }
    if (ServeSets(false)) NextStatement();
}

void SqlWorker::Close() {
    if (m_openSet >= 0) {
        emit rows(m_openSet, {}, true, true);
        m_openSet = -1;
        emit statementDone(m_index, m_rows, false, m_clock.elapsed(), false,
                           tr("The rest of the result set was left unread."));
    }
    m_db->CloseCursor(0);
    // A stop that came while nothing ran must not stop the next statement.
    m_db->ResetCancel();
}

void SqlWorker::Fail() {
    QString message = QString::fromStdWString(m_db->m_LastError).trimmed();
    if (m_stop.load()) message = tr("Stopped. %1").arg(message).trimmed();
    m_db->CloseCursor(0);
    emit statementDone(m_index, m_rows, false, m_clock.elapsed(), true, message);
}
