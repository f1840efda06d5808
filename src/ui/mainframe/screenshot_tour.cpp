#include "screenshot_tour.h"

#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include "child_frame.h"
#include "ctw_doc.h"
#include "html_preview.h"
#include "main_frame.h"
#include "project_view.h"
#include "run_controller.h"
#include "themes.h"

namespace {
constexpr int kSettleMs = 700;       // painting and the web engine's compositor catching up
constexpr int kTimeoutMs = 120000;   // a tour that hangs fails instead of blocking the test
}  // namespace

void ScreenshotTour::StartIfAsked(CMainFrame& frame) {
    const QString folder = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    new ScreenshotTour(frame, folder);
}

ScreenshotTour::ScreenshotTour(CMainFrame& frame, const QString& folder)
    : QObject(&frame), m_frame(frame), m_folder(folder) {
    CChildFrame* child = frame.ActiveChild();
    if (child == nullptr) {
        Finish(2);
        return;
    }
    connect(child->Preview(), &CHtmlPreview::previewShown, this, &ScreenshotTour::OnPreviewShown);
    QTimer::singleShot(kTimeoutMs, this, [this] { Finish(3); });
}

void ScreenshotTour::OnPreviewShown(const QString& text) {
    if (m_started) return;
    m_started = true;
    QFile out(m_folder + QStringLiteral("/preview.txt"));
    if (out.open(QIODevice::WriteOnly)) out.write(text.toUtf8());
    QTimer::singleShot(kSettleMs, this, &ScreenshotTour::Step);
}

void ScreenshotTour::Grab(const QString& name, QWidget* part) {
    QWindow* window = m_frame.windowHandle();
    QScreen* screen = window != nullptr ? window->screen() : QApplication::primaryScreen();
    QPixmap picture;
    if (part == nullptr) {
        picture = screen->grabWindow(m_frame.winId());
    } else {
        const QPoint at = part->mapTo(&m_frame, QPoint(0, 0));
        picture = screen->grabWindow(m_frame.winId(), at.x(), at.y(), part->width(), part->height());
    }
    picture.save(m_folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void ScreenshotTour::Step() {
    CChildFrame* child = m_frame.ActiveChild();
    if (child == nullptr) {
        Finish(2);
        return;
    }
    QTabWidget* tabs = child->View()->Tabs();
    const int tabSteps = CProjectView::kPageCount;
    if (m_step == 0) {
        Grab(QStringLiteral("main"));
        Grab(QStringLiteral("preview"), child->Preview());
        child->Preview()->FindText(QStringLiteral("Overseas"));  // a row of the first result set
    } else if (m_step == 1) {
        Grab(QStringLiteral("preview-rows"), child->Preview());
    } else if (m_step <= tabSteps + 1) {
        const int index = m_step - 2;
        Grab(QStringLiteral("tab-%1-%2").arg(index).arg(CProjectView::TabLabel(index).toLower()));
        if (index + 1 < tabSteps) tabs->setCurrentIndex(index + 1);
        else ApplyLook(216);
    } else if (m_step == tabSteps + 2) {
        Grab(QStringLiteral("main-dark"));
        ApplyLook(m_frame.Look());
        tabs->setCurrentIndex(0);
        // The report run on the worker thread, its status text shown when it returns.
        connect(&RunController::Instance(), &RunController::runFinished, this, [this](CtwDoc*, RunController::Kind kind) {
            if (kind != RunController::Kind::Report) return;
            QTimer::singleShot(kSettleMs, this, [this] {
                Grab(QStringLiteral("after-run"));
                QFile out(m_folder + QStringLiteral("/status.txt"));
                if (out.open(QIODevice::WriteOnly)) out.write(m_frame.StatusText().toUtf8());
                Finish(0);
            });
        });
        m_frame.Run();
        ++m_step;
        return;
    }
    ++m_step;
    QTimer::singleShot(kSettleMs, this, &ScreenshotTour::Step);
}

void ScreenshotTour::Finish(int status) {
    if (status != 0) {
        QFile out(m_folder + QStringLiteral("/failed.txt"));
        if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::number(status));
    }
    // The window closes as Exit closes it; the process ends with the event loop.
    QMetaObject::invokeMethod(&m_frame, &QWidget::close, Qt::QueuedConnection);
    if (status != 0) {
        // A tour that failed may have left a message box or a run waiting: the test ends the process itself.
        QTimer::singleShot(5000, [status] { std::_Exit(status); });
    }
}
