#pragma once
// The preview's web page: shows local files only and sends every clicked link to the desktop's browser.

#include <QWebEnginePage>

class QWebEngineProfile;

class PreviewWebPage : public QWebEnginePage {
    Q_OBJECT
  public:
    PreviewWebPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // The profile of every preview: nothing kept on disk, every request that is not local refused.
    static QWebEngineProfile* Profile();
    // Whether the preview may load url itself: local files and inline data, never the network.
    static bool IsLocal(const QUrl& url);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
};
