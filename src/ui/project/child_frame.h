#pragma once
// A project window: the project view above the preview, split by SplitterY. Owns its project.

#include <QWidget>
#include <memory>

class CHtmlPreview;
class CProjectView;
class CtwDoc;
class QSplitter;
class QThread;

class CChildFrame : public QWidget {
    Q_OBJECT
  public:
    // The upper pane's height when SplitterY is negative, and its least height.
    static constexpr int kDefaultSplitterY = 345;
    static constexpr int kMinimumTop = 80;

    // A window for project; untitledNumber names a project that has no file yet ("Tablewright1", ...).
    CChildFrame(std::unique_ptr<CtwDoc> project, int untitledNumber, QWidget* parent = nullptr);
    ~CChildFrame() override;

    CtwDoc& Project() const { return *m_project; }
    CProjectView* View() const { return m_view; }
    CHtmlPreview* Preview() const { return m_preview; }
    QSplitter* Splitter() const { return m_splitter; }

    // The project's title: its file name, or the untitled name.
    QString Title() const;
    // Refreshes the window title: the title, "*" directly after it while the project is modified.
    void UpdateTitle();

    // Connects the project's database on a worker thread (a project is loaded without connecting, so that a
    // slow or unreachable server never freezes the window). Run, Connect, SQL Console and the preview wait.
    void ConnectInBackground();
    bool IsConnecting() const { return m_connectThread != nullptr; }

    // Writes the project to its file (asking for a name when it has none, or always with saveAs). False when
    // cancelled or failed (the failure is shown).
    bool Save(bool saveAs = false);

  signals:
    // The title or the modified mark changed.
    void titleChanged();
    // The background connect has ended.
    void connectFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnRunStarted(CtwDoc* project);
    void OnRunFinished(CtwDoc* project);

    std::unique_ptr<CtwDoc> m_project;
    int m_untitledNumber;
    QSplitter* m_splitter = nullptr;
    CProjectView* m_view = nullptr;
    CHtmlPreview* m_preview = nullptr;
    QThread* m_connectThread = nullptr;
};
