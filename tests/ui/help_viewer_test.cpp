// The help window over the shipped help pages: contents in the index's order, search, back and forward.

#include <QDir>
#include <QListWidget>
#include <QTextBrowser>

#include "help_viewer.h"
#include "ui_fixture.h"

namespace {

QString HelpFolder() { return QStringLiteral(TW_SOURCE_DIR "/help"); }

QString Shown(const CHelpViewer& viewer) { return viewer.Browser()->source().fileName(); }

TEST(HelpViewer, ContentsFollowTheIndexAndEveryPageTopicExists) {
    const QList<HelpTopic> topics = HelpTopicsOf(HelpFolder());
    ASSERT_FALSE(topics.isEmpty());
    EXPECT_EQ(topics.front().file, QStringLiteral("index.html"));
    QStringList files;
    for (const HelpTopic& topic : topics) {
        files << topic.file;
        EXPECT_FALSE(topic.title.isEmpty()) << topic.file.toStdString();
        EXPECT_NE(topic.title, topic.file) << "no <title> in " << topic.file.toStdString();
    }
    // The topics the window asks for by name must all be there.
    for (const char* topic : {"query.html", "output.html", "report.html", "header.html", "footer.html", "marker.html",
                              "properties.html", "params.html", "converters.html", "preview.html", "settings.html"})
        EXPECT_TRUE(files.contains(QLatin1String(topic))) << topic;
    EXPECT_EQ(files.removeDuplicates(), 0);
}

TEST(HelpViewer, SearchFindsPagesHoldingEveryWordAndNothingForNonsense) {
    const QList<HelpTopic> topics = HelpTopicsOf(HelpFolder());
    const QStringList hits = SearchHelp(HelpFolder(), topics, QStringLiteral("ROWS"));
    EXPECT_TRUE(hits.contains(QStringLiteral("macros.html")));
    // Markup is not text: a tag name alone finds nothing.
    EXPECT_TRUE(SearchHelp(HelpFolder(), topics, QStringLiteral("xyzzy-not-a-word")).isEmpty());
    EXPECT_TRUE(SearchHelp(HelpFolder(), topics, QStringLiteral("   ")).isEmpty());
    const QStringList both = SearchHelp(HelpFolder(), topics, QStringLiteral("rows macro"));
    for (const QString& file : both) EXPECT_TRUE(hits.contains(file)) << file.toStdString();
}

TEST(HelpViewer, TopicsAnchorsAndHistory) {
    CHelpViewer viewer(HelpFolder());
    viewer.ShowTopic(QStringLiteral("index.html"));
    EXPECT_EQ(Shown(viewer), QStringLiteral("index.html"));
    viewer.ShowTopic(QStringLiteral("query.html"));
    viewer.ShowTopic(QStringLiteral("macros.html#top"));
    EXPECT_EQ(Shown(viewer), QStringLiteral("macros.html"));
    viewer.Browser()->backward();
    EXPECT_EQ(Shown(viewer), QStringLiteral("query.html"));
    viewer.Browser()->forward();
    EXPECT_EQ(Shown(viewer), QStringLiteral("macros.html"));
    EXPECT_EQ(viewer.Contents()->count(), HelpTopicsOf(HelpFolder()).size());
}

}  // namespace
