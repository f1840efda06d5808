#include "log_viewer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "dialog_help.h"
#include "log.h"

namespace {
constexpr int kFollowMs = 500;
}

LogViewer::LogViewer(QWidget* parent, const QString& path)
    : QDialog(parent), m_path(path.isEmpty() ? QString::fromStdString(CLog::FilePath()) : path) {
    setWindowTitle(tr("Program Log"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    m_info = new QLabel(this);
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_info);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(m_text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* reload = buttons->addButton(tr("&Reload"), QDialogButtonBox::ActionRole);
    m_follow = new QCheckBox(tr("&Follow"), this);
    m_follow->setToolTip(tr("Show new entries as they are written"));
    buttons->addButton(m_follow, QDialogButtonBox::ActionRole);
    connect(reload, &QPushButton::clicked, this, &LogViewer::Reload);
    connect(m_follow, &QCheckBox::toggled, this, &LogViewer::SetFollow);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_timer.setInterval(kFollowMs);
    connect(&m_timer, &QTimer::timeout, this, &LogViewer::ReadNew);
    InstallHelpKey(this, QStringLiteral("index.html"));
    resize(900, 560);
    Reload();
}

void LogViewer::Reload() {
    m_text->clear();
    m_readUpTo = 0;
    m_partialLine.clear();
    ReadNew();
}

void LogViewer::ReadNew() {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_info->setText(tr("The log file %1 does not exist yet.").arg(m_path));
        return;
    }
    const qint64 size = file.size();
    if (size < m_readUpTo) {
        // Truncated or rotated: what is shown is no longer the file's beginning.
        m_text->clear();
        m_readUpTo = 0;
        m_partialLine.clear();
    }
    m_info->setText(tr("%1 (%2 bytes)").arg(m_path).arg(size));
    if (size == m_readUpTo) return;
    file.seek(m_readUpTo);
    QByteArray bytes = m_partialLine + file.read(size - m_readUpTo);
    m_readUpTo = size;
    // A line still being written is kept back until its end arrives.
    const qsizetype lastBreak = bytes.lastIndexOf('\n');
    m_partialLine = bytes.mid(lastBreak + 1);
    bytes.truncate(lastBreak + 1);
    if (bytes.endsWith('\n')) bytes.chop(1);
    if (lastBreak < 0) return;
    QScrollBar* bar = m_text->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    m_text->appendPlainText(QString::fromUtf8(bytes));
    if (atBottom || m_follow->isChecked()) bar->setValue(bar->maximum());
}

void LogViewer::SetFollow(bool follow) {
    if (m_follow->isChecked() != follow) m_follow->setChecked(follow);
    if (follow) {
        ReadNew();
        m_timer.start();
    } else {
        m_timer.stop();
    }
}
