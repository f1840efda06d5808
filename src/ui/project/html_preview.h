#pragma once
// The lower pane of a project window: the report's first rows as the browser will show them.

#include <QString>
#include <QWidget>

class CtwDoc;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QWebEngineView;
class QTextBrowser;

class CHtmlPreview : public QWidget {
    Q_OBJECT
  public:
    // Whether previews use the web engine; tests without one show HTML in a plain text browser instead.
    static void SetUseWebEngine(bool use);

    CHtmlPreview(CtwDoc* project, QWidget* parent = nullptr);
    ~CHtmlPreview() override;

    // Makes a new preview on the worker thread. A preview still running is stopped and replaced; during a
    // report run the preview is made when the run ends.
    void Refresh();
    // The preview file shown last (empty before the first preview).
    const QString& PreviewFile() const { return m_previewFile; }
    bool IsPending() const { return m_pending; }
    // While waiting (its project connecting), a preview asked for is made when the wait ends.
    void SetWaiting(bool waiting);
    // Scrolls the preview to the first place that shows text (the screen tour shows the first rows).
    void FindText(const QString& text);
    // The label above the preview.
    static QString LabelText();

  signals:
    // A preview file has been shown; text is what the pane shows, as plain text.
    void previewShown(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Start();
    void OnRunFinished(CtwDoc* project, int kind, const QString& path);
    void Show(const QString& path);
    void OnFocusChanged(QWidget* old, QWidget* now);
    void DeleteFile();

    CtwDoc* m_project;
    QString m_previewFile;
    bool m_pending = false;
    bool m_waiting = false;
    bool m_shownOnce = false;
    QLabel* m_label = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWebEngineView* m_web = nullptr;
    QTextBrowser* m_html = nullptr;
    QPlainTextEdit* m_text = nullptr;
};
