#include "help_viewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>

#include "host.h"

namespace {

constexpr int kFileRole = Qt::UserRole;

QString ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QString TitleOf(const QString& html, const QString& fallback) {
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = title.match(html);
    if (!match.hasMatch()) return fallback;
    QTextDocument text;
    text.setHtml(match.captured(1));
    return text.toPlainText().simplified();
}

// The page's words without its markup, for the search.
QString PlainText(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

}  // namespace

QList<HelpTopic> HelpTopicsOf(const QString& folder) {
    const QDir dir(folder);
    QStringList order;
    const QString index = ReadAll(dir.filePath(QStringLiteral("index.html")));
    if (!index.isEmpty()) order << QStringLiteral("index.html");
    static const QRegularExpression link(QStringLiteral("href=\"([A-Za-z0-9_.-]+\\.html)(#[^\"]*)?\""));
    for (auto it = link.globalMatch(index); it.hasNext();) {
        const QString file = it.next().captured(1);
        if (!order.contains(file) && dir.exists(file)) order << file;
    }
    QStringList rest = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString& file : rest)
        if (!order.contains(file)) order << file;
    QList<HelpTopic> topics;
    for (const QString& file : order) topics.push_back({file, TitleOf(ReadAll(dir.filePath(file)), file)});
    return topics;
}

QStringList SearchHelp(const QString& folder, const QList<HelpTopic>& topics, const QString& query) {
    const QStringList words = query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList found;
    if (words.isEmpty()) return found;
    const QDir dir(folder);
    for (const HelpTopic& topic : topics) {
        const QString text = PlainText(ReadAll(dir.filePath(topic.file)));
        bool all = true;
        for (const QString& word : words) all = all && text.contains(word, Qt::CaseInsensitive);
        if (all) found << topic.file;
    }
    return found;
}

CHelpViewer::CHelpViewer(const QString& folder, QWidget* parent)
    : QMainWindow(parent), m_folder(folder), m_topics(HelpTopicsOf(folder)), m_browser(new QTextBrowser),
      m_contents(new QListWidget), m_search(new QLineEdit) {
    setWindowTitle(tr("Tablewright Help"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_browser->setSearchPaths({folder});
    m_browser->setOpenExternalLinks(true);  // web addresses go to the desktop's browser
    m_search->setPlaceholderText(tr("Search the help"));
    m_search->setClearButtonEnabled(true);
    m_search->setToolTip(tr("Lists the topics that contain every word typed; Enter searches"));

    QToolBar* bar = addToolBar(tr("Navigation"));
    bar->setMovable(false);
    QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("&Back"), m_browser,
                                   &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("&Forward"), m_browser,
                                      &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    QAction* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("&Contents"), this, [this] {
        ShowContents();
        ShowTopic(QStringLiteral("index.html"));
    });
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->addSeparator();
    bar->addWidget(m_search);
    QAction* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, m_search, [this] { m_search->setFocus(); });
    addAction(find);
    connect(m_search, &QLineEdit::returnPressed, this, &CHelpViewer::RunSearch);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) ShowContents();
    });

    connect(m_contents, &QListWidget::itemActivated, this, &CHelpViewer::OnItemActivated);
    connect(m_contents, &QListWidget::itemClicked, this, &CHelpViewer::OnItemActivated);
    auto* splitter = new QSplitter;
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 680});
    setCentralWidget(splitter);
    resize(960, 680);
    ShowContents();
}

void CHelpViewer::ShowContents() {
    m_contents->clear();
    for (const HelpTopic& topic : m_topics) {
        auto* item = new QListWidgetItem(topic.title, m_contents);
        item->setData(kFileRole, topic.file);
    }
}

void CHelpViewer::RunSearch() {
    const QString query = m_search->text().simplified();
    if (query.isEmpty()) {
        ShowContents();
        return;
    }
    const QStringList files = SearchHelp(m_folder, m_topics, query);
    m_contents->clear();
    if (files.isEmpty()) {
        auto* none = new QListWidgetItem(tr("No topic contains \"%1\".").arg(query), m_contents);
        none->setFlags(Qt::NoItemFlags);
        return;
    }
    for (const HelpTopic& topic : m_topics) {
        if (!files.contains(topic.file)) continue;
        auto* item = new QListWidgetItem(topic.title, m_contents);
        item->setData(kFileRole, topic.file);
    }
    m_contents->setCurrentRow(0);
    OnItemActivated(m_contents->item(0));
}

void CHelpViewer::OnItemActivated(QListWidgetItem* item) {
    if (item == nullptr || item->data(kFileRole).toString().isEmpty()) return;
    ShowTopic(item->data(kFileRole).toString());
    // After a search the first place of the first word is shown.
    const QStringList words = m_search->text().simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty()) m_browser->find(words.first());
}

void CHelpViewer::ShowTopic(const QString& topic) {
    m_browser->setSource(QUrl::fromLocalFile(QDir(m_folder).filePath(topic.section(QLatin1Char('#'), 0, 0))));
    const QString anchor = topic.section(QLatin1Char('#'), 1);
    if (!anchor.isEmpty()) m_browser->scrollToAnchor(anchor);
}

CHelpViewer* CHelpViewer::Instance() {
    static QPointer<CHelpViewer> viewer;
    if (viewer.isNull()) {
        viewer = new CHelpViewer(QString::fromStdString(DataDir()) + QStringLiteral("/help"));
        // Ends with the program, not with the window that asked for help.
        QObject::connect(qApp, &QApplication::aboutToQuit, viewer, &QObject::deleteLater);
    }
    return viewer;
}
