#pragma once
// A tour for the screen tests: with TW_SCREENSHOT_DIR set, the program waits for its first preview, saves
// what the preview shows and a picture of the window, of each page tab, of the preview and of the dark theme,
// runs the report, and closes.

#include <QObject>
#include <QString>

class CMainFrame;

class ScreenshotTour : public QObject {
    Q_OBJECT
  public:
    // Starts the tour when TW_SCREENSHOT_DIR is set.
    static void StartIfAsked(CMainFrame& frame);

  private:
    ScreenshotTour(CMainFrame& frame, const QString& folder);
    void OnPreviewShown(const QString& text);
    void Step();
    void Grab(const QString& name, QWidget* part = nullptr);
    void Finish(int status);

    CMainFrame& m_frame;
    QString m_folder;
    int m_step = 0;
    bool m_started = false;
};
