#pragma once
// One connection attempt on a thread of its own, so that a server that does not answer never freezes the
// window; the attempt gives up waiting after a timeout.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "cdb.h"

class ConnectAttempt : public QObject {
    Q_OBJECT
  public:
    // Starts connecting a new connection of info's type at once.
    ConnectAttempt(const CONN_INFO& info, int timeoutMs, QObject* parent = nullptr);
    ~ConnectAttempt() override;

    bool IsFinished() const { return m_finished; }
    // After a successful attempt: the connected connection (once).
    std::unique_ptr<CDB> TakeConnection();

    // The text shown when the server has not answered in time.
    static QString TimeoutText(int timeoutMs);

  signals:
    // The attempt ended: connected, or the driver's own message (or the timeout's).
    void finished(bool connected, const QString& message);

  private:
    struct State;
    void Poll();

    std::shared_ptr<State> m_state;
    QTimer m_poll;
    int m_timeoutMs;
    qint64 m_started;
    bool m_finished = false;
    std::unique_ptr<CDB> m_connection;
};
