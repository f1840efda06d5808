#include <QCheckBox>
#include <QPlainTextEdit>
#include <fstream>

#include "dialog_fixture.h"
#include "log_viewer.h"

using LogViewerTest = DialogTest;

TEST_F(LogViewerTest, ReloadFollowAndTruncation) {
    TestFolder folder;
    const std::string path = folder.Write("test.log", "first\nsecond\n");
    LogViewer viewer(nullptr, QString::fromStdString(path));
    EXPECT_EQ(viewer.Text()->toPlainText(), QStringLiteral("first\nsecond"));

    viewer.SetFollow(true);
    EXPECT_TRUE(viewer.FollowBox()->isChecked());
    std::ofstream(path, std::ios::app) << "third\nhalf a li";
    ASSERT_TRUE(WaitFor([&] { return viewer.Text()->toPlainText().endsWith(QStringLiteral("third")); }, 5000));
    std::ofstream(path, std::ios::app) << "ne\n";
    ASSERT_TRUE(WaitFor([&] { return viewer.Text()->toPlainText().endsWith(QStringLiteral("half a line")); }, 5000));

    // Truncated (Tools > Truncate Log File) while followed: the viewer starts over.
    std::ofstream(path, std::ios::trunc) << "new\n";
    ASSERT_TRUE(WaitFor([&] { return viewer.Text()->toPlainText() == QStringLiteral("new"); }, 5000));

    viewer.SetFollow(false);
    std::ofstream(path, std::ios::app) << "later\n";
    WaitFor([] { return false; }, 700);
    EXPECT_EQ(viewer.Text()->toPlainText(), QStringLiteral("new"));
    viewer.Reload();
    EXPECT_EQ(viewer.Text()->toPlainText(), QStringLiteral("new\nlater"));
}
