#include "page_query.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include "ctw_doc.h"
#include "file_name_field.h"
#include "host.h"
#include "page_rules.h"
#include "project_view.h"
#include "script_check.h"
#include "settings.h"
#include "sql_editor.h"
#include "sql_library.h"

namespace {

const char* const kSqlFilter = "SQL scripts|*.sql|All Files|*.*||";

PageQuery::FileChooser& Chooser() {
    static PageQuery::FileChooser chooser;
    return chooser;
}

PageQuery::LibraryRunner& Runner() {
    static PageQuery::LibraryRunner runner;
    return runner;
}

QToolButton* NewButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

// Runs work on the user-interface thread when page still exists.
template <class Work>
void PostTo(QPointer<PageQuery> page, Work work) {
    QMetaObject::invokeMethod(qApp, [page, work = std::move(work)]() mutable {
        if (page) work(*page);
    }, Qt::QueuedConnection);
}

void Join(std::thread& thread) {
    if (thread.joinable()) thread.join();
}

}  // namespace

void PageQuery::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }
void PageQuery::SetLibraryRunner(LibraryRunner runner) { Runner() = std::move(runner); }

PageQuery::PageQuery(CProjectView* view, QWidget* parent) : ProjectPage(view, parent) {
    auto* layout = new QGridLayout(this);
    m_scriptRadio = new QRadioButton(tr("SQL &Script"), this);
    m_scriptRadio->setToolTip(tr("The script is typed here and kept in the project"));
    m_loadButton = NewButton(this, QStyle::SP_DialogOpenButton, tr("Load the script from the disk file"));
    m_libraryButton = NewButton(this, QStyle::SP_DirIcon, tr("Open SQL Library window"));
    m_saveButton = NewButton(this, QStyle::SP_DialogSaveButton, tr("Save the script to the disk file"));
    m_saveAsButton = NewButton(this, QStyle::SP_DriveFDIcon, tr("Save the script with prompt"));
    m_checkButton = NewButton(this, QStyle::SP_DialogApplyButton, tr("Check the script"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_scriptRadio);
    top->addStretch(1);
    for (QToolButton* button : {m_loadButton, m_libraryButton, m_saveButton, m_saveAsButton, m_checkButton}) {
        top->addWidget(button);
    }
    layout->addLayout(top, 0, 0, 1, 3);

    m_editor = new SqlEditor(this);
    SetFieldKind(m_editor, FieldKind::SqlEditor);
    m_editor->installEventFilter(this);
    layout->addWidget(m_editor, 1, 0, 1, 3);

    m_fileRadio = new QRadioButton(tr("&File"), this);
    m_fileRadio->setToolTip(tr("The script is read from a file when the report runs"));
    m_file = new FileNameField(FileNameField::Mode::Open, this);
    m_file->SetFilter(QString::fromLatin1(kSqlFilter), QStringLiteral("sql"));
    m_file->setToolTip(tr("The SQL script file"));
    m_externalButton = NewButton(this, QStyle::SP_FileDialogContentsView, tr("Open extrenal SQL script editor"));
    layout->addWidget(m_fileRadio, 2, 0);
    layout->addWidget(m_file, 2, 1);
    layout->addWidget(m_externalButton, 2, 2);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);

    setTabOrder(m_scriptRadio, m_loadButton);
    setTabOrder(m_loadButton, m_libraryButton);
    setTabOrder(m_libraryButton, m_saveButton);
    setTabOrder(m_saveButton, m_saveAsButton);
    setTabOrder(m_saveAsButton, m_checkButton);
    setTabOrder(m_checkButton, m_editor);
    setTabOrder(m_editor, m_fileRadio);
    setTabOrder(m_fileRadio, m_file);
    setTabOrder(m_file, m_externalButton);

    auto* find = new QShortcut(QKeySequence::Find, m_editor, nullptr, nullptr, Qt::WidgetShortcut);
    connect(find, &QShortcut::activated, m_editor, &SqlEditor::SearchAndReplace);

    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &PageQuery::FileChangedOutside);

    // Checked before the radios are connected: building the page is no edit of its project.
    m_scriptRadio->setChecked(true);
    UpdateEnabling();
    for (QRadioButton* radio : {m_scriptRadio, m_fileRadio}) {
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (!on) return;
            UpdateEnabling();
            if (!m_loading) Store();
        });
    }
    connect(m_file, &FileNameField::textEdited, this, [this] {
        if (!m_loading) Store();
    });
    connect(m_loadButton, &QToolButton::clicked, this, &PageQuery::Load);
    connect(m_libraryButton, &QToolButton::clicked, this, &PageQuery::Library);
    connect(m_saveButton, &QToolButton::clicked, this, &PageQuery::Save);
    connect(m_saveAsButton, &QToolButton::clicked, this, &PageQuery::SaveWithPrompt);
    connect(m_checkButton, &QToolButton::clicked, this, &PageQuery::Check);
    connect(m_externalButton, &QToolButton::clicked, this, &PageQuery::ExternalEditor);
}

PageQuery::~PageQuery() {
    Join(m_checkThread);
    Join(m_namesThread);
}

void PageQuery::LoadFromProject(CtwDoc& project) {
    m_loading = true;
    (project.FromFile != 0 ? m_fileRadio : m_scriptRadio)->setChecked(true);
    if (project.FromFile != 0) {
        m_file->setFocus();
    } else {
        m_editor->setFocus();
    }
    m_file->SetText(QString::fromStdWString(project.QueryFile));
    // Only a different script replaces the editor's, so its undo history survives tab switches.
    if (m_editor->Text() != QString::fromStdWString(project.Text)) {
        m_editor->LoadText(QString::fromStdWString(project.Text));
    }
    UpdateEnabling();
    m_loading = false;
    RefreshCompletion();
}

void PageQuery::SaveToProject(CtwDoc& project) {
    const int fromFile = m_fileRadio->isChecked() ? 1 : 0;
    if (fromFile != project.FromFile) project.SetFromFile(fromFile);
    // Only a file that can be read now becomes the script file; a half-typed path leaves the old one.
    const std::wstring path = m_file->Text().toStdWString();
    if (fromFile != 0 && pages::IsReadableFile(path)) project.SetQueryFile(path);
    project.SetScriptText(m_editor->Text().toStdWString());
}

void PageQuery::UpdateEnabling() {
    const bool fromFile = m_fileRadio->isChecked();
    m_file->setEnabled(fromFile);
    for (QWidget* control : {static_cast<QWidget*>(m_editor), static_cast<QWidget*>(m_loadButton),
                             static_cast<QWidget*>(m_libraryButton), static_cast<QWidget*>(m_saveButton),
                             static_cast<QWidget*>(m_saveAsButton), static_cast<QWidget*>(m_checkButton)}) {
        control->setEnabled(!fromFile);
    }
    m_checkButton->setEnabled(!fromFile && !m_checking);
    m_externalButton->setEnabled(true);
}

void PageQuery::StoreEditorText() {
    if (CtwDoc* project = Project(); project && View()->CanStore()) {
        project->SetScriptText(m_editor->Text().toStdWString());
    }
}

bool PageQuery::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::FocusOut) {
        // A context menu or the completion list takes the focus only for a moment: the typing goes on.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason) Store();
    }
    return ProjectPage::eventFilter(watched, event);
}

QString PageQuery::ChooseFile(bool save) {
    const QString title = save ? tr("Save SQL Script") : tr("Select SQL Script");
    if (Chooser()) return Chooser()(title);
    const QString filter = FileNameField::DialogFilter(QString::fromLatin1(kSqlFilter));
    if (!save) return QFileDialog::getOpenFileName(this, title, QString(), filter);
    QFileDialog dialog(this, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("sql"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void PageQuery::Load() {
    const QString path = ChooseFile(false);
    if (path.isEmpty()) return;
    if (!m_editor->LoadFile(path)) {
        Host().MessageBox(tr("Could not read the script file '%1'.").arg(path).toStdWString(), L"Load",
                          MessageIcon::Error);
        return;
    }
    m_scriptFileName = path;
    StoreEditorText();
}

void PageQuery::Save() {
    if (m_scriptFileName.isEmpty()) {
        SaveWithPrompt();
        return;
    }
    // A failed write is said, not passed over: the user believes the script is on disk.
    if (!m_editor->SaveFile(m_scriptFileName)) {
        Host().MessageBox(tr("Could not write the script file '%1'.").arg(m_scriptFileName).toStdWString(),
                          L"Save", MessageIcon::Error);
    }
}

void PageQuery::SaveWithPrompt() {
    const QString path = ChooseFile(true);
    if (path.isEmpty()) return;
    m_scriptFileName = path;
    Save();
}

void PageQuery::Check() {
    CtwDoc* project = Project();
    if (project == nullptr || m_checking) return;
    const CDB* connection = project->Connection();
    if (connection == nullptr || !connection->IsConnected()) {
        Host().MessageBox(L"There is no database connection established.", L"Warning", MessageIcon::Error);
        return;
    }
    const std::wstring script = pages::TrimScript(m_editor->Text().toStdWString());
    if (script.empty()) {
        Host().MessageBox(L"There is no script entered or loaded yet.", L"Warning", MessageIcon::Error);
        return;
    }
    // A connection of its own: the project's may be lent to a run meanwhile, and the window stays responsive.
    m_checking = true;
    UpdateEnabling();
    Join(m_checkThread);
    m_checkThread = std::thread([page = QPointer<PageQuery>(this), info = connection->m_ConInfo, script] {
        ScriptCheckResult result = CheckScript(info, script);
        PostTo(page, [result = std::move(result)](PageQuery& self) {
            self.m_checking = false;
            self.UpdateEnabling();
            if (result.ok) {
                Host().MessageBox(L"Test completed successfully", L"Test", MessageIcon::Information);
            } else {
                Host().MessageBox(result.error, L"Error", MessageIcon::Error);
            }
            emit self.checkFinished();
        });
    });
}

void PageQuery::RefreshCompletion() {
    CtwDoc* project = Project();
    if (project == nullptr || !View()->CanStore()) return;
    const CDB* connection = project->Connection();
    const std::wstring source = connection != nullptr && connection->IsConnected()
                                    ? connection->m_ConInfo.Connection + L"\n" + DsTypeName(connection->m_Type)
                                    : std::wstring();
    if (source == m_completionSource) return;
    m_completionSource = source;
    if (source.empty()) {
        m_editor->SetCompletionNames({});
        return;
    }
    Join(m_namesThread);
    m_namesThread = std::thread([page = QPointer<PageQuery>(this), info = connection->m_ConInfo, source] {
        std::vector<std::wstring> names = ReadSchemaNames(info);
        PostTo(page, [names = std::move(names), source](PageQuery& self) {
            // A later connection's names are on their way: these are stale.
            if (self.m_completionSource != source) return;
            QStringList list;
            for (const std::wstring& name : names) list << QString::fromStdWString(name);
            self.m_editor->SetCompletionNames(list);
            emit self.completionRead();
        });
    });
}

void PageQuery::Library() {
    if (m_library == nullptr) m_library = new SqlLibrary(this);
    m_library->SetCorner(m_libraryButton->mapToGlobal(QPoint(1, m_libraryButton->height())));
    m_library->SetRootPath(QString::fromStdWString(Settings().getStr(L"Library")));
    const bool accepted = Runner() ? Runner()(*m_library) : m_library->exec() == QDialog::Accepted;
    const QString path = m_library->ChosenPath();
    if (!accepted || path.isEmpty()) return;
    QString text;
    if (!ReadSqlFile(path, text)) return;
    int line = 0, index = 0;
    m_editor->getCursorPosition(&line, &index);
    const std::wstring script = m_editor->Text().toStdWString();
    // The caret as a character position of the script (the editor counts bytes of UTF-8 internally).
    const long caretByte = m_editor->positionFromLineIndex(line, index);
    const size_t caret = static_cast<size_t>(
        QString::fromUtf8(m_editor->text().toUtf8().left(caretByte)).toStdWString().size());
    const std::wstring placed =
        pages::PlaceScript(script, caret, text.toStdWString(), m_library->ChosenMode());
    m_editor->beginUndoAction();
    m_editor->selectAll();
    m_editor->replaceSelectedText(QString::fromStdWString(placed));
    m_editor->endUndoAction();
    if (m_library->ChosenMode() == pages::Placement::AtCaret) {
        const size_t after = caret + text.toStdWString().size();
        const QByteArray head = QString::fromStdWString(placed.substr(0, after)).toUtf8();
        int newLine = 0, newIndex = 0;
        m_editor->lineIndexFromPosition(static_cast<int>(head.size()), &newLine, &newIndex);
        m_editor->setCursorPosition(newLine, newIndex);
    }
    if (Project() != nullptr) StoreEditorText();
    m_editor->setFocus();
}

void PageQuery::ExternalEditor() {
    const QString path = m_file->Text();
    if (!pages::IsReadableFile(path.toStdWString())) {
        Host().MessageBox(L"The script file not specified or inaccessible.", L"Warning", MessageIcon::Error);
        return;
    }
    const QString program = QString::fromStdWString(Settings().getStr(L"SQLeditor")).trimmed();
    // Watched before the editor starts: a quick editor may save before it could be watched afterwards.
    WatchFile(QFileInfo(path).absoluteFilePath());
    bool started = false;
    QString reason;
    // The old default names a program this system does not have: the desktop's own text editor instead.
    if (program.isEmpty() || program.compare(QStringLiteral("notepad.exe"), Qt::CaseInsensitive) == 0) {
        started = QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        if (!started) reason = tr("The desktop has no program for the file.");
    } else {
        QStringList arguments = QProcess::splitCommand(program);
        const QString executable = arguments.isEmpty() ? program : arguments.takeFirst();
        arguments << path;
        QProcess process;
        process.setProgram(executable);
        process.setArguments(arguments);
        started = process.startDetached();
        if (!started) reason = process.errorString();
    }
    if (!started) {
        Host().MessageBox(tr("Could not execute the external script editor '%1'.\n%2")
                              .arg(program, reason)
                              .toStdWString(),
                          L"Error", MessageIcon::Error);
    }
}

void PageQuery::WatchFile(const QString& path) {
    if (!m_watcher->files().contains(path)) m_watcher->addPath(path);
}

void PageQuery::FileChangedOutside(const QString& path) {
    // An editor that saves by rename drops the watch: watch the new file again.
    if (QFileInfo::exists(path)) WatchFile(path);
    // The script the editor was loaded from (or saved to) changed outside: show the new text.
    if (m_scriptFileName.isEmpty() || QFileInfo(m_scriptFileName).absoluteFilePath() != path) return;
    QString text;
    if (!ReadSqlFile(path, text) || text == m_editor->Text()) return;
    m_editor->LoadFile(path);
    StoreEditorText();
}
