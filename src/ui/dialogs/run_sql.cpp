#include "run_sql.h"

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTime>
#include <QVBoxLayout>

#include "cdb.h"
#include "cparse.h"
#include "dialog_help.h"
#include "result_model.h"
#include "run_controller.h"
#include "sql_worker.h"

std::wstring StatementAt(const std::wstring& script, size_t offset) {
    CParse parse;
    parse.Parse(script, 0);
    size_t from = 0;
    std::wstring before;
    for (const std::wstring& statement : parse.Statements()) {
        // Statements are trimmed pieces of the script, in order: finding each after the last gives its place.
        const size_t begin = script.find(statement, from);
        if (begin == std::wstring::npos) break;
        const size_t end = begin + statement.size();
        if (offset < begin) return before.empty() ? statement : before;
        // The cursor right after a statement's ";" still belongs to it.
        const size_t semicolon = script.find(L';', end);
        const size_t reach = semicolon == std::wstring::npos ? script.size() : semicolon + 1;
        if (offset <= reach) return statement;
        before = statement;
        from = end;
    }
    return before;
}

CRunSQL::CRunSQL(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("SQL Console"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_runButton = new QPushButton(tr("&Execute"), this);
    m_runButton->setToolTip(tr("Run the selection, or the statement under the cursor (Ctrl+Return)"));
    m_runAllButton = new QPushButton(tr("Execute &All"), this);
    m_runAllButton->setToolTip(tr("Run the whole text (F5)"));
    m_stopButton = new QPushButton(tr("&Stop"), this);
    m_stopButton->setEnabled(false);
    m_history = new QComboBox(this);
    m_history->setToolTip(tr("Statements run in this window; choose one to put it back into the editor"));
    m_history->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_history->setMinimumContentsLength(30);
    m_history->setPlaceholderText(tr("History"));
    bar->addWidget(m_runButton);
    bar->addWidget(m_runAllButton);
    bar->addWidget(m_stopButton);
    bar->addWidget(new QLabel(tr("&History"), this));
    bar->addWidget(m_history, 1);
    static_cast<QLabel*>(bar->itemAt(3)->widget())->setBuddy(m_history);
    layout->addLayout(bar);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_editor = new QsciScintilla(splitter);
    auto* lexer = new QsciLexerSQL(m_editor);
    m_editor->setLexer(lexer);
    m_editor->setUtf8(true);
    m_editor->setMarginWidth(0, QStringLiteral("0000"));
    m_editor->setMarginLineNumbers(0, true);
    // The horizontal scroll bar only when a line is wider than the editor.
    m_editor->SendScintilla(QsciScintilla::SCI_SETSCROLLWIDTH, 1);
    m_editor->SendScintilla(QsciScintilla::SCI_SETSCROLLWIDTHTRACKING, 1);
    m_results = new QTabWidget(splitter);
    m_messages = new QPlainTextEdit(m_results);
    m_messages->setReadOnly(true);
    m_results->addTab(m_messages, tr("Messages"));
    splitter->addWidget(m_editor);
    splitter->addWidget(m_results);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto* bottom = new QHBoxLayout;
    m_status = new QLabel(tr("Ready"), this);
    bottom->addWidget(m_status, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);

    connect(m_runButton, &QPushButton::clicked, this, &CRunSQL::ExecuteCurrent);
    connect(m_runAllButton, &QPushButton::clicked, this, &CRunSQL::ExecuteAll);
    connect(m_stopButton, &QPushButton::clicked, this, &CRunSQL::Stop);
    connect(m_history, &QComboBox::activated, this, [this](int index) {
        m_editor->setText(m_history->itemData(index).toString());
        m_editor->setFocus();
    });
    auto* runKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(runKey, &QShortcut::activated, this, &CRunSQL::ExecuteCurrent);
    auto* runAllKey = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(runAllKey, &QShortcut::activated, this, &CRunSQL::ExecuteAll);
    InstallHelpKey(this, QStringLiteral("sql-console.html"));
    resize(820, 600);
}

CRunSQL::~CRunSQL() { StopWorker(); }

void CRunSQL::Initialize(const QString& fontFamily) {
    QFont font(fontFamily);
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(10);
    if (QsciLexer* lexer = m_editor->lexer()) lexer->setFont(font);
    m_editor->setFont(font);
    m_editor->setMarginsFont(font);
}

void CRunSQL::SetDB(CDB* connection, CtwDoc* project) {
    if (connection != m_db) StopWorker();
    m_db = connection;
    m_project = project;
}

ResultModel* CRunSQL::Model(int tabIndex) const {
    auto* view = qobject_cast<QTableView*>(m_results->widget(tabIndex));
    return view != nullptr ? qobject_cast<ResultModel*>(view->model()) : nullptr;
}

void CRunSQL::StartWorker() {
    if (m_worker != nullptr || m_db == nullptr) return;
    m_thread = new QThread(this);
    m_worker = new SqlWorker(m_db);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SqlWorker::resultSet, this, &CRunSQL::OnResultSet);
    connect(m_worker, &SqlWorker::rows, this, &CRunSQL::OnRows);
    connect(m_worker, &SqlWorker::statementDone, this, &CRunSQL::OnStatementDone);
    connect(m_worker, &SqlWorker::idle, this, [this] { SetRunning(false); });
    m_thread->start();
}

void CRunSQL::StopWorker() {
    if (m_worker == nullptr) return;
    m_worker->RequestStop();
    QMetaObject::invokeMethod(m_worker, &SqlWorker::Close, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
    SetRunning(false);
}

void CRunSQL::ExecuteCurrent() {
    if (m_editor->hasSelectedText()) {
        Execute(m_editor->selectedText());
        return;
    }
    const QByteArray bytes = m_editor->text().toUtf8();
    const auto position = static_cast<qsizetype>(m_editor->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS));
    const size_t offset = QString::fromUtf8(bytes.left(position)).toStdWString().size();
    Execute(QString::fromStdWString(StatementAt(m_editor->text().toStdWString(), offset)));
}

void CRunSQL::ExecuteAll() { Execute(m_editor->text()); }

void CRunSQL::Execute(const QString& text) {
    if (m_running) return;
    if (m_db == nullptr || !m_db->IsConnected()) {
        Message(tr("The established database connection is required!"));
        return;
    }
    // The run has the project's connection to itself until it ends.
    RunController& runs = RunController::Instance();
    if (runs.IsRunning() && m_project != nullptr && runs.RunningProject() == m_project) {
        Message(tr("The project is being run; statements can run when the run has ended."));
        return;
    }
    CParse parse;
    parse.Parse(text.toStdWString(), 0);
    if (parse.Count() == 0) {
        Message(tr("There is no statement to run."));
        return;
    }
    AddHistory(text.trimmed());
    m_messages->appendPlainText(tr("-- %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    m_statements.clear();
    for (const std::wstring& statement : parse.Statements()) m_statements << QString::fromStdWString(statement);
    // Results of the previous run give way to the new ones; the messages stay.
    while (m_results->count() > 1) {
        QWidget* tab = m_results->widget(1);
        m_results->removeTab(1);
        tab->deleteLater();
    }
    m_models.clear();
    StartWorker();
    SetRunning(true);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, statements = m_statements] { worker->Run(statements); },
                              Qt::QueuedConnection);
}

void CRunSQL::Stop() {
    if (m_worker == nullptr) return;
    m_worker->RequestStop();
    QMetaObject::invokeMethod(m_worker, &SqlWorker::Close, Qt::QueuedConnection);
}

void CRunSQL::done(int result) {
    StopWorker();
    QDialog::done(result);
}

void CRunSQL::SetRunning(bool running) {
    m_running = running;
    m_runButton->setEnabled(!running);
    m_runAllButton->setEnabled(!running);
    m_stopButton->setEnabled(running || !m_models.isEmpty());
    m_status->setText(running ? tr("Running...") : tr("Ready"));
}

void CRunSQL::AddHistory(const QString& text) {
    const int existing = m_history->findData(text);
    if (existing >= 0) m_history->removeItem(existing);
    QString label = text.simplified();
    if (label.size() > 80) label = label.left(77) + QStringLiteral("...");
    m_history->insertItem(0, label, text);
    m_history->setCurrentIndex(-1);
    while (m_history->count() > 100) m_history->removeItem(m_history->count() - 1);
}

void CRunSQL::Message(const QString& text) {
    m_messages->appendPlainText(text);
    m_results->setCurrentIndex(0);
}

void CRunSQL::OnResultSet(int setId, int statement, const QStringList& columns) {
    auto* view = new QTableView(m_results);
    auto* model = new ResultModel(columns, view);
    view->setModel(model);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setDefaultSectionSize(140);
    m_models.insert(setId, model);
    connect(model, &ResultModel::moreWanted, this, [this, setId] {
        if (m_worker == nullptr) return;
        SetRunning(true);
        QMetaObject::invokeMethod(m_worker, [worker = m_worker, setId] { worker->FetchMore(setId); },
                                  Qt::QueuedConnection);
    });
    const int tab = m_results->addTab(view, tr("Result %1").arg(m_results->count()));
    m_results->setTabToolTip(tab, m_statements.value(statement));
    if (m_results->count() == 2) m_results->setCurrentIndex(tab);
}

void CRunSQL::OnRows(int setId, const QList<QStringList>& batch, bool atEnd, bool cut) {
    if (ResultModel* model = m_models.value(setId)) model->AppendRows(batch, atEnd, cut);
}

void CRunSQL::OnStatementDone(int statement, qint64 rows, bool affected, qint64 ms, bool failed,
                              const QString& message) {
    QString head = tr("Statement %1").arg(statement + 1);
    QString text = m_statements.value(statement).simplified();
    if (text.size() > 60) text = text.left(57) + QStringLiteral("...");
    if (failed) {
        Message(tr("%1 (%2) failed after %3 ms: %4").arg(head, text).arg(ms).arg(message));
        return;
    }
    const QString count = rows < 0 ? tr("done")
                          : affected ? (rows == 1 ? tr("1 row affected") : tr("%1 rows affected").arg(rows))
                                     : (rows == 1 ? tr("1 row") : tr("%1 rows").arg(rows));
    QString line = tr("%1 (%2): %3, %4 ms").arg(head, text, count).arg(ms);
    if (!message.isEmpty()) line += QStringLiteral(". ") + message;
    m_messages->appendPlainText(line);
}
