#pragma once
// Runs the SQL console's statements on a worker thread, one statement after another on the connection it is
// lent, and hands rows over in batches as the grid asks for them, so that a huge result set neither freezes the
// window nor fills memory.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <atomic>

class CDB;

class SqlWorker : public QObject {
    Q_OBJECT
  public:
    // Rows sent at a time while the grid scrolls.
    static constexpr int kBatchRows = 256;
    // Rows kept of a result set that a later statement of the same run follows: only one result set can stay
    // open on a connection, and it is the last one.
    static constexpr int kEarlierSetRows = 10000;

    explicit SqlWorker(CDB* connection);

    // Asks the running statement to stop; from any thread.
    void RequestStop();

  public slots:
    // Closes any open result set, then runs the statements in order; stops at the first that fails.
    void Run(const QStringList& statements);
    // The next batch of the open result set setId (nothing when it is no longer open).
    void FetchMore(int setId);
    // Closes the open result set, if any, so that the connection is free; the console calls it when it closes.
    void Close();

  signals:
    // A result set of statement (from 0) begins.
    void resultSet(int setId, int statement, const QStringList& columns);
    // Rows of a result set; atEnd when no more will come, cut when rows were left unread.
    void rows(int setId, const QList<QStringList>& batch, bool atEnd, bool cut);
    // A statement ended: rows fetched, or rows affected when it had no result set (-1 when unknown);
    // milliseconds; the database's message when it failed, or a note.
    void statementDone(int statement, qint64 rows, bool affected, qint64 ms, bool failed, const QString& message);
    // Nothing runs any more (a result set may stay open for scrolling).
    void idle();

  private:
    enum class Fetched { More, Ended, Failed };
    void NextStatement();
    // Walks the current statement's result sets from the current one (first) or the next; false when a result
    // set stays open or the statement failed.
    bool ServeSets(bool first);
    Fetched FetchInto(int setId, int limit, bool cutAtLimit);
    void Fail();

    CDB* m_db;
    QStringList m_statements;
    int m_index = -1;
    int m_nextSet = 0;
    int m_openSet = -1;
    qint64 m_rows = 0;
    bool m_hadSet = false;
    QElapsedTimer m_clock;
    std::atomic<bool> m_stop{false};
};
