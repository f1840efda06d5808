#include "page_parameters.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>

#include "ctw_doc.h"
#include "file_name_field.h"
#include "host.h"
#include "project_view.h"
#include "qt_host.h"
#include "rule_edit.h"

namespace {

QStringList& EditorCommand() {
    static QStringList command;
    return command;
}

// The program that edits a text file and ends when the user closes it (so the page knows when to reread).
QStringList DesktopEditor() {
    const QString chosen = qEnvironmentVariable("TABLEWRIGHT_EDITOR");
    if (!chosen.isEmpty()) return QProcess::splitCommand(chosen);
    for (const char* name : {"gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma", "featherpad"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (path.isEmpty()) continue;
        // gedit and gnome-text-editor hand the file to a running instance and return at once without these.
        if (QString::fromLatin1(name) == QLatin1String("gedit")) return {path, QStringLiteral("--wait")};
        if (QString::fromLatin1(name) == QLatin1String("gnome-text-editor")) {
            return {path, QStringLiteral("--standalone")};
        }
        return {path};
    }
    return {QStringLiteral("xdg-open")};
}

}  // namespace

void PageParameters::SetEditorCommand(const QStringList& command) { EditorCommand() = command; }

PageParameters::PageParameters(CProjectView* view, QWidget* parent) : ProjectPage(view, parent) {
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({tr("Parameter"), tr("Value")});
    m_list->header()->setSectionsClickable(false);
    m_list->setColumnWidth(0, 70);
    m_list->setColumnWidth(1, 140);
    ShowGridLines(m_list);

    m_fileField = new FileNameField(FileNameField::Mode::Open, this);
    m_fileField->SetFilter(QStringLiteral("Files with parameters|*.txt|All Files|*.*||"), QStringLiteral("txt"));
    m_file = m_fileField->Edit();
    m_editorButton = new QToolButton(this);
    m_editorButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_editorButton->setToolTip(tr("Run the external editor for the value file."));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(m_list, 0, 0, 3, 1);
    grid->addWidget(new QLabel(tr("File with parameters"), this), 0, 1, 1, 3);
    grid->addWidget(m_fileField, 1, 1, 1, 2);
    grid->addWidget(m_editorButton, 1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    connect(m_file, &QLineEdit::textChanged, this, &PageParameters::OnFileChanged);
    connect(m_editorButton, &QToolButton::clicked, this, &PageParameters::EditFile);
}

PageParameters::~PageParameters() {
    // The window closes with the editor still open: the editor keeps running, the page just stops waiting.
    if (m_editor != nullptr) {
        disconnect(m_editor, nullptr, this, nullptr);
        m_editor->setParent(nullptr);
        connect(m_editor, &QProcess::finished, m_editor, &QObject::deleteLater);
    }
}

void PageParameters::LoadFromProject(CtwDoc& project) {
    if (m_loading) return;
    m_loading = true;
    const QString values = QString::fromStdWString(project.Values);
    if (m_file->text() != values) m_file->setText(values);
    project.LoadValues();
    m_list->clear();
    for (const ParameterValue& pair : project.m_values) {
        new QTreeWidgetItem(m_list, {QString::fromStdWString(pair.name), QString::fromStdWString(pair.value)});
    }
    m_loading = false;
}

void PageParameters::SaveToProject(CtwDoc& project) { project.SetValuesFile(m_file->text().toStdWString()); }

void PageParameters::OnFileChanged() {
    CtwDoc* project = Project();
    if (project == nullptr) return;
    // During a run the page is read-only; the text put there by LoadFromProject itself is the project's already.
    if (View()->CanStore()) project->SetValuesFile(m_file->text().toStdWString());
    LoadFromProject(*project);
}

void PageParameters::EditFile() {
    CtwDoc* project = Project();
    if (project == nullptr || m_editor != nullptr || !View()->CanStore()) return;
    QString name = m_file->text();
    while (!name.isEmpty() && QStringLiteral(" \t\r\n").contains(name.back())) name.chop(1);
    if (name.isEmpty()) return;
    // The field names the file as the project means it: relative to the project file's folder.
    const QString path = QString::fromStdWString(project->ResolvePath(name.toStdWString()));
    while (!QFileInfo::exists(path)) {
        const QString question =
            tr("File '%1' not found or inaccessible.\nDo you with to create new one?").arg(path);
        if (QtHost::Instance()->Ask(question, tr("Tablewright"), QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::Critical) != QMessageBox::Yes) {
            return;
        }
        if (!rule_edit::CreateEmptyFile(path.toStdWString())) return;
    }
    QStringList command = EditorCommand().isEmpty() ? DesktopEditor() : EditorCommand();
    const QString program = command.takeFirst();
    command << path;
    m_editor = new QProcess(this);
    m_editor->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(m_editor, &QProcess::finished, this, &PageParameters::OnEditorFinished);
    m_editor->start(program, command);
    if (!m_editor->waitForStarted()) {
        const QString text = QStringLiteral("%1 \"%2\"\r\n\r\n%3").arg(program, path, m_editor->errorString());
        delete m_editor;
        m_editor = nullptr;
        Host().MessageBox(text.toStdWString(), L"Create Process Error!", MessageIcon::Error);
        return;
    }
    // The window goes on working; the list is reread when the editor ends (OnEditorFinished).
    m_editorButton->setEnabled(false);
}

void PageParameters::OnEditorFinished() {
    m_editor->deleteLater();
    m_editor = nullptr;
    m_editorButton->setEnabled(true);
    if (CtwDoc* project = Project()) {
        if (View()->CanStore()) project->SetValuesFile(m_file->text().toStdWString());
        // Reread even when Values did not change: the file's content did.
        LoadFromProject(*project);
    }
    emit editorClosed();
}
