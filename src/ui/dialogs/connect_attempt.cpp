#include "connect_attempt.h"

#include <QDateTime>
#include <mutex>
#include <thread>

// Shared with the thread, which may outlive the attempt (a connect the driver itself has not given up yet).
struct ConnectAttempt::State {
    std::mutex mutex;
    bool done = false;
    bool connected = false;
    std::wstring message;
    std::unique_ptr<CDB> connection;
};

ConnectAttempt::ConnectAttempt(const CONN_INFO& info, int timeoutMs, QObject* parent)
    : QObject(parent), m_state(std::make_shared<State>()), m_timeoutMs(timeoutMs),
      m_started(QDateTime::currentMSecsSinceEpoch()) {
    std::thread([state = m_state, info] {
        std::unique_ptr<CDB> connection = CDB::newDB(info.Type);
        bool connected = false;
        std::wstring message;
        if (!connection) {
            message = L"Unknown data-source type.";
        } else {
            connected = CDB::isOK(connection->Connect(info));
            message = connection->m_LastError;
        }
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->connected = connected;
        state->message = message;
        state->connection = std::move(connection);
    }).detach();
    // Polling keeps the thread free of any pointer to this object, which may be gone when the thread ends.
    m_poll.setInterval(20);
    connect(&m_poll, &QTimer::timeout, this, &ConnectAttempt::Poll);
    m_poll.start();
}

ConnectAttempt::~ConnectAttempt() = default;

QString ConnectAttempt::TimeoutText(int timeoutMs) {
    return tr("The server did not answer within %1 seconds.").arg((timeoutMs + 999) / 1000);
}

void ConnectAttempt::Poll() {
    bool done = false, connected = false;
    std::wstring message;
    {
        std::lock_guard lock(m_state->mutex);
        done = m_state->done;
        if (done) {
            connected = m_state->connected;
            message = m_state->message;
            m_connection = std::move(m_state->connection);
        }
    }
    if (!done && QDateTime::currentMSecsSinceEpoch() - m_started < m_timeoutMs) return;
    m_poll.stop();
    m_finished = true;
    if (!done) {
        emit finished(false, TimeoutText(m_timeoutMs));
        return;
    }
    if (!connected) m_connection.reset();
    // Drivers indent the lines after the first of a message; the dialog shows them as plain lines.
    QStringList lines = QString::fromStdWString(message).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines) line = line.trimmed();
    emit finished(connected, lines.join(QLatin1Char('\n')));
}

std::unique_ptr<CDB> ConnectAttempt::TakeConnection() { return std::move(m_connection); }
