#pragma once
// The Query page: the project's SQL script, typed into the SQL editor or kept in a file, with loading and
// saving it, the SQL library, a check against the database and an external editor for the script file.

#include <QString>
#include <functional>
#include <string>
#include <thread>

#include "project_page.h"

class FileNameField;
class QFileSystemWatcher;
class QRadioButton;
class QToolButton;
class SqlEditor;
class SqlLibrary;

class PageQuery : public ProjectPage {
    Q_OBJECT
  public:
    explicit PageQuery(CProjectView* view, QWidget* parent = nullptr);
    ~PageQuery() override;

    void LoadFromProject(CtwDoc& project) override;
    void SaveToProject(CtwDoc& project) override;

    // The buttons' actions.
    void Load();
    void Save();
    void SaveWithPrompt();
    // Checks the editor's script on a connection of its own on a worker thread; the answer comes as a message.
    void Check();
    void Library();
    void ExternalEditor();

    // Reads the table and column names for completion on a worker thread (when the connection changed).
    void RefreshCompletion();

    SqlEditor* Editor() const { return m_editor; }
    FileNameField* FileField() const { return m_file; }
    QRadioButton* ScriptRadio() const { return m_scriptRadio; }
    QRadioButton* FileRadio() const { return m_fileRadio; }
    QString ScriptFileName() const { return m_scriptFileName; }
    SqlLibrary* LibraryWindow() const { return m_library; }
    bool IsChecking() const { return m_checking; }

    // Tests stand in for the file dialogs and the library's modal loop: given the dialog's title, the path
    // chosen (empty for cancel). Null: the real dialogs.
    using FileChooser = std::function<QString(const QString& title)>;
    static void SetFileChooser(FileChooser chooser);
    using LibraryRunner = std::function<bool(SqlLibrary& library)>;
    static void SetLibraryRunner(LibraryRunner runner);

  signals:
    // A check or a completion read has returned (tests wait for these).
    void checkFinished();
    void completionRead();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateEnabling();
    void StoreEditorText();
    QString ChooseFile(bool save);
    void WatchFile(const QString& path);
    void FileChangedOutside(const QString& path);

    bool m_loading = false;
    bool m_checking = false;
    QString m_scriptFileName;  // what Load, Save and Save with prompt work with; not the project's QueryFile
    std::wstring m_completionSource;  // the connection the completion names were read from
    QRadioButton* m_scriptRadio;
    QRadioButton* m_fileRadio;
    QToolButton* m_loadButton;
    QToolButton* m_libraryButton;
    QToolButton* m_saveButton;
    QToolButton* m_saveAsButton;
    QToolButton* m_checkButton;
    QToolButton* m_externalButton;
    SqlEditor* m_editor;
    FileNameField* m_file;
    SqlLibrary* m_library = nullptr;
    QFileSystemWatcher* m_watcher;
    // Joined before the next start and when the page goes (a worker never outlives the page).
    std::thread m_checkThread, m_namesThread;
};
