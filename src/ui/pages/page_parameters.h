#pragma once
// The Parameters page: the project's parameters file, the name/value pairs it gives, and the external editor.

#include <QStringList>

#include "project_page.h"

class FileNameField;
class QLineEdit;
class QProcess;
class QToolButton;
class QTreeWidget;

class PageParameters : public ProjectPage {
    Q_OBJECT
  public:
    explicit PageParameters(CProjectView* view, QWidget* parent = nullptr);
    ~PageParameters() override;
    void LoadFromProject(CtwDoc& project) override;
    void SaveToProject(CtwDoc& project) override;

    // The editor program and its arguments before the file's path; empty uses the desktop's text editor
    // (TABLEWRIGHT_EDITOR, else the first plain text editor found). Tests set a stand-in.
    static void SetEditorCommand(const QStringList& command);

    // The editor button: creates the file when asked, starts the editor and rereads the file when it ends.
    void EditFile();
    bool IsEditing() const { return m_editor != nullptr; }

    QTreeWidget* List() const { return m_list; }
    QLineEdit* FileField() const { return m_file; }
    QToolButton* EditorButton() const { return m_editorButton; }

  signals:
    // The editor has ended and the list has been reread.
    void editorClosed();

  private:
    void OnFileChanged();
    void OnEditorFinished();

    QTreeWidget* m_list;
    QLineEdit* m_file;
    FileNameField* m_fileField;
    QToolButton* m_editorButton;
    QProcess* m_editor = nullptr;
    bool m_loading = false;
};
