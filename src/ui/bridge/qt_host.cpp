#include "qt_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMainWindow>
#include <QThread>
#include <QUrl>

namespace {
QtHost* g_instance = nullptr;

bool OnUiThread() { return QThread::currentThread() == qApp->thread(); }
}  // namespace

QtHost::QtHost(QObject* parent) : QObject(parent) {
    g_instance = this;
    SetHost(this);
}

QtHost::~QtHost() {
    if (g_instance == this) {
        g_instance = nullptr;
        SetHost(nullptr);
    }
}

QtHost* QtHost::Instance() { return g_instance; }

void QtHost::SetMainWindow(QMainWindow* window) {
    m_mainWindow = window;
    m_hasMainWindow.store(window != nullptr);
}

void QtHost::SetStatusText(std::wstring_view text) {
    // A signal from a worker thread is queued to the receivers on the user-interface thread.
    emit statusText(QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size())));
}

void QtHost::MessageBox(std::wstring_view text, std::wstring_view caption, MessageIcon icon) {
    const QString message = QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
    const QString title = QString::fromWCharArray(caption.data(), static_cast<qsizetype>(caption.size()));
    if (OnUiThread()) {
        ShowBox(message, title, icon);
        return;
    }
    // The run waits for the answer as it would for a modal box; the window stays live meanwhile.
    QMetaObject::invokeMethod(
        this, [this, message, title, icon] { ShowBox(message, title, icon); }, Qt::BlockingQueuedConnection);
}

void QtHost::OpenFile(const std::wstring& path) {
    const QString file = QString::fromStdWString(path);
    if (OnUiThread()) {
        OpenLocalFile(file);
        return;
    }
    QMetaObject::invokeMethod(this, [this, file] { OpenLocalFile(file); }, Qt::QueuedConnection);
}

void QtHost::ShowBox(const QString& text, const QString& caption, MessageIcon icon) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == MessageIcon::Warning) boxIcon = QMessageBox::Warning;
    if (icon == MessageIcon::Error) boxIcon = QMessageBox::Critical;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, m_mainWindow);
    box.exec();
}

void QtHost::OpenLocalFile(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

QMessageBox::StandardButton QtHost::Ask(const QString& text, const QString& caption,
                                        QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, buttons, m_mainWindow);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
