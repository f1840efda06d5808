#pragma once
// The window's host: status text, message boxes and opening files for the core, callable from any thread.

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <atomic>

#include "host.h"

class QMainWindow;

class QtHost : public QObject, public IHost {
    Q_OBJECT
  public:
    explicit QtHost(QObject* parent = nullptr);
    ~QtHost() override;

    // The host of the process while the window program runs.
    static QtHost* Instance();

    bool HasMainWindow() const override { return m_hasMainWindow.load(); }
    // Queued to the user-interface thread; a run on the worker thread never waits for it.
    void SetStatusText(std::wstring_view text) override;
    // Shown by the user-interface thread; a worker thread waits until the user has answered.
    void MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) override;
    // Handed to the desktop's program for the file (xdg-open), from the user-interface thread.
    void OpenFile(const std::wstring& path) override;

    // The window that owns message boxes; null while there is none.
    void SetMainWindow(QMainWindow* window);
    QMainWindow* MainWindow() const { return m_mainWindow; }

    // A question with the given buttons; the answer. Only on the user-interface thread.
    virtual QMessageBox::StandardButton Ask(const QString& text, const QString& caption,
                                            QMessageBox::StandardButtons buttons, QMessageBox::Icon icon);

  signals:
    // A status text for the main window's message pane (always delivered on the user-interface thread).
    void statusText(const QString& text);

  protected:
    // The message box itself, on the user-interface thread (tests record instead of showing).
    virtual void ShowBox(const QString& text, const QString& caption, MessageIcon icon);
    // The desktop's opening of a local file (tests record instead).
    virtual void OpenLocalFile(const QString& path);

  private:
    QMainWindow* m_mainWindow = nullptr;
    std::atomic<bool> m_hasMainWindow{false};
};
