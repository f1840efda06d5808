#include "preview_web_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// Refuses every request of a preview that would leave the machine (images, styles, scripts of a template
// included), so that a report's content cannot reach a remote address.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!PreviewWebPage::IsLocal(info.requestUrl())) info.block(true);
    }
};

// Takes the first navigation of a page that a link asked to open in a new window to the desktop's browser.
class ExternalLinkPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        QDesktopServices::openUrl(url);
        deleteLater();
        return false;
    }
};

}  // namespace

QWebEngineProfile* PreviewWebPage::Profile() {
    static QWebEngineProfile* profile = [] {
        auto* made = new QWebEngineProfile(qApp);  // off the record: no cache or cookies on disk
        made->setUrlRequestInterceptor(new LocalOnlyInterceptor(made));
        QWebEngineSettings* settings = made->settings();
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        return made;
    }();
    return profile;
}

bool PreviewWebPage::IsLocal(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isLocalFile() || scheme == QLatin1String("data") || scheme == QLatin1String("about") ||
           scheme == QLatin1String("blob");
}

PreviewWebPage::PreviewWebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

bool PreviewWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked) {
        // A jump inside the preview (its table of contents) stays; every other link goes to the browser.
        if (url.matches(this->url(), QUrl::RemoveFragment)) return true;
        QDesktopServices::openUrl(url);
        return false;
    }
    if (!IsLocal(url)) return false;
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* PreviewWebPage::createWindow(WebWindowType) { return new ExternalLinkPage(profile(), this); }
