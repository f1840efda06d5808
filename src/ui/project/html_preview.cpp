#include "html_preview.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "ctw_doc.h"
#include "ex_report.h"
#include "preview_web_page.h"
#include "run_controller.h"

namespace {
bool g_useWebEngine = true;
constexpr int kPreviewRows = 50;
}  // namespace

void CHtmlPreview::SetUseWebEngine(bool use) { g_useWebEngine = use; }

QString CHtmlPreview::LabelText() {
    return tr("The preview shows up to %1 first report rows. Click it to refresh.").arg(kPreviewRows);
}

CHtmlPreview::CHtmlPreview(CtwDoc* project, QWidget* parent) : QWidget(parent), m_project(project) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->setSpacing(2);
    m_label = new QLabel(LabelText(), this);
    m_label->setContentsMargins(5, 0, 0, 0);
    layout->addWidget(m_label);
    m_stack = new QStackedWidget(this);
    if (g_useWebEngine) {
        m_web = new QWebEngineView(m_stack);
        m_web->setPage(new PreviewWebPage(PreviewWebPage::Profile(), m_web));
        m_web->setContextMenuPolicy(Qt::NoContextMenu);
        m_stack->addWidget(m_web);
        connect(m_web, &QWebEngineView::loadFinished, this, [this](bool) {
            m_web->page()->toPlainText([self = QPointer<CHtmlPreview>(this)](const QString& text) {
                if (self) emit self->previewShown(text);
            });
        });
    } else {
        m_html = new QTextBrowser(m_stack);
        m_html->setOpenLinks(false);
        m_stack->addWidget(m_html);
    }
    m_text = new QPlainTextEdit(m_stack);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_stack->addWidget(m_text);
    layout->addWidget(m_stack, 1);
    // Focus comes in by a click (which refreshes), never by being passed along when a page hides its field.
    setFocusPolicy(Qt::ClickFocus);
    for (QWidget* view : {static_cast<QWidget*>(m_web), static_cast<QWidget*>(m_html), static_cast<QWidget*>(m_text)}) {
        if (view != nullptr) view->setFocusPolicy(Qt::ClickFocus);
    }

    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(refresh, &QShortcut::activated, this, &CHtmlPreview::Refresh);
    connect(qApp, &QApplication::focusChanged, this, &CHtmlPreview::OnFocusChanged);
    connect(&RunController::Instance(), &RunController::runFinished, this,
            [this](CtwDoc* finished, RunController::Kind kind, bool, const QString& path) {
                OnRunFinished(finished, static_cast<int>(kind), path);
            });
}

CHtmlPreview::~CHtmlPreview() { DeleteFile(); }

void CHtmlPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        Refresh();
    }
}

void CHtmlPreview::closeEvent(QCloseEvent* event) {
    DeleteFile();
    QWidget::closeEvent(event);
}

void CHtmlPreview::DeleteFile() {
    if (m_previewFile.isEmpty()) return;
    DeletePreview(m_previewFile.toStdWString());
}

void CHtmlPreview::OnFocusChanged(QWidget* old, QWidget* now) {
    // The pane refreshes when the focus comes into it from outside, so a click into it brings it up to date.
    const bool into = now != nullptr && (now == this || isAncestorOf(now));
    const bool from = old != nullptr && (old == this || isAncestorOf(old));
    if (into && !from) Refresh();
}

void CHtmlPreview::SetWaiting(bool waiting) {
    m_waiting = waiting;
    if (!waiting && m_pending) Refresh();
}

void CHtmlPreview::Refresh() {
    if (m_project == nullptr) return;
    if (m_waiting) {
        m_pending = true;
        return;
    }
    RunController& controller = RunController::Instance();
    if (controller.IsRunning()) {
        // A preview being made is replaced by this one; a report run finishes first.
        m_pending = true;
        if (controller.RunningKind() == RunController::Kind::Preview) {
            controller.RequestStop();
        } else {
            emit controller.busy(RunController::BusyText());
        }
        return;
    }
    Start();
}

void CHtmlPreview::Start() {
    m_pending = false;
    RunController::Instance().StartPreview(*m_project);
}

void CHtmlPreview::OnRunFinished(CtwDoc* project, int kind, const QString& path) {
    if (project == m_project && kind == static_cast<int>(RunController::Kind::Preview) && !m_pending) Show(path);
    // A preview asked for meanwhile is made now; a later finish picks up any that must still wait.
    if (m_pending && !m_waiting && !RunController::Instance().IsRunning()) Start();
}

void CHtmlPreview::FindText(const QString& text) {
    if (m_web != nullptr && m_stack->currentWidget() == m_web) {
        m_web->findText(text);
    } else if (m_html != nullptr && m_stack->currentWidget() == m_html) {
        m_html->find(text);
    }
}

void CHtmlPreview::Show(const QString& path) {
    if (path.isEmpty()) return;
    m_previewFile = path;
    if (path.endsWith(QLatin1String(".txt"))) {
        QFile file(path);
        QString text;
        if (file.open(QIODevice::ReadOnly)) text = QString::fromUtf8(file.readAll());
        m_text->setPlainText(text);
        m_stack->setCurrentWidget(m_text);
        emit previewShown(text);
        return;
    }
    if (m_web != nullptr) {
        m_stack->setCurrentWidget(m_web);
        m_web->setUrl(QUrl::fromLocalFile(path));
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) m_html->setHtml(QString::fromUtf8(file.readAll()));
    m_stack->setCurrentWidget(m_html);
    emit previewShown(m_html->toPlainText());
}
