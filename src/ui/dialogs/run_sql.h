#pragma once
// The SQL console of a project window: an SQL editor over the results, one tab per result set, on the
// project's connection. Statements run on a worker thread and can be stopped; the grid fetches rows as it is
// scrolled. The console is kept by its project window and keeps its text, results and history between uses.

#include <QDialog>
#include <QHash>
#include <QStringList>

class CDB;
class CtwDoc;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QThread;
class QsciScintilla;
class ResultModel;
class SqlWorker;

// The statement of script that holds offset (or ends just before it); the whole trimmed script when none does.
std::wstring StatementAt(const std::wstring& script, size_t offset);

class CRunSQL : public QDialog {
    Q_OBJECT
  public:
    explicit CRunSQL(QWidget* parent = nullptr);
    ~CRunSQL() override;

    // Sets the editor up: its font.
    void Initialize(const QString& fontFamily);
    // The connection the statements run on, and the project it belongs to (whose report runs the console waits
    // for). The connection is used only while the console is open.
    void SetDB(CDB* connection, CtwDoc* project);

    // Runs the selection, or else the statement under the cursor.
    void ExecuteCurrent();
    // Runs the whole text.
    void ExecuteAll();
    // Runs text, split into statements.
    void Execute(const QString& text);
    void Stop();
    bool IsRunning() const { return m_running; }

    QsciScintilla* Editor() const { return m_editor; }
    QTabWidget* Results() const { return m_results; }
    QPlainTextEdit* Messages() const { return m_messages; }
    QComboBox* History() const { return m_history; }
    // The model of result tab index (1 and on; tab 0 is the messages).
    ResultModel* Model(int tabIndex) const;

    // Stops what runs and frees the connection before the console hides.
    void done(int result) override;

  private:
    void StartWorker();
    void StopWorker();
    void SetRunning(bool running);
    void AddHistory(const QString& text);
    void Message(const QString& text);
    void OnResultSet(int setId, int statement, const QStringList& columns);
    void OnRows(int setId, const QList<QStringList>& batch, bool atEnd, bool cut);
    void OnStatementDone(int statement, qint64 rows, bool affected, qint64 ms, bool failed, const QString& message);

    QsciScintilla* m_editor;
    QTabWidget* m_results;
    QPlainTextEdit* m_messages;
    QComboBox* m_history;
    QPushButton* m_runButton;
    QPushButton* m_runAllButton;
    QPushButton* m_stopButton;
    QLabel* m_status;
    CDB* m_db = nullptr;
    CtwDoc* m_project = nullptr;
    QThread* m_thread = nullptr;
    SqlWorker* m_worker = nullptr;
    bool m_running = false;
    QStringList m_statements;
    QHash<int, ResultModel*> m_models;
};
