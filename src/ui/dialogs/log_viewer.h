#pragma once
// The program log in a window of its own: reload on demand, or follow the entries as they are written.

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

class LogViewer : public QDialog {
    Q_OBJECT
  public:
    // Shows the log at path (the program's log unless a test names another).
    explicit LogViewer(QWidget* parent = nullptr, const QString& path = QString());

    // Reads the whole log again.
    void Reload();
    // Reads what was written since the last read; the whole log when it was truncated or rotated meanwhile.
    void ReadNew();
    void SetFollow(bool follow);

    QPlainTextEdit* Text() const { return m_text; }
    QCheckBox* FollowBox() const { return m_follow; }

  private:
    QString m_path;
    QPlainTextEdit* m_text;
    QCheckBox* m_follow;
    QLabel* m_info;
    QTimer m_timer;
    qint64 m_readUpTo = 0;
    QByteArray m_partialLine;
};
