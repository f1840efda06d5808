#pragma once
// The help window: the installed help pages with back, forward, contents and a search over every topic. One
// window for the program; asking for a topic brings it to the front on that topic.

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTextBrowser;

// One help page: its file name and the title of its <title> element.
struct HelpTopic {
    QString file;
    QString title;
};

// The topics of folder, in the order of the links of its index.html (the index first, then any page the index
// does not link, by file name).
QList<HelpTopic> HelpTopicsOf(const QString& folder);
// The files of topics whose text (markup left out) holds every word of query, case ignored.
QStringList SearchHelp(const QString& folder, const QList<HelpTopic>& topics, const QString& query);

class CHelpViewer : public QMainWindow {
    Q_OBJECT
  public:
    explicit CHelpViewer(const QString& folder, QWidget* parent = nullptr);

    // Shows topic (a file name such as "query.html", optionally with "#anchor").
    void ShowTopic(const QString& topic);
    QTextBrowser* Browser() const { return m_browser; }
    QListWidget* Contents() const { return m_contents; }

    // The program's help window (made on first use).
    static CHelpViewer* Instance();

  private:
    void RunSearch();
    void ShowContents();
    void OnItemActivated(QListWidgetItem* item);

    QString m_folder;
    QList<HelpTopic> m_topics;
    QTextBrowser* m_browser;
    QListWidget* m_contents;
    QLineEdit* m_search;
};
