// The macro menu: where each token may go, and its insertion into the field that has the focus.

#include <QToolButton>

#include "macro_menu.h"
#include "ui_fixture.h"

namespace {

const MacroEntry& Entry(const char* text) {
    for (const MacroEntry& entry : MacroEntries()) {
        if (QString::fromLatin1(entry.text) == QLatin1String(text)) return entry;
    }
    throw std::runtime_error("no such macro");
}

// The enabled state of every rule for one field kind and page, as "date file rows".
std::string Rules(FieldKind kind, int page) {
    std::string result;
    result += MacroEnabled(Entry("$DATE$"), kind, page) ? "date " : "- ";
    result += MacroEnabled(Entry("$FILE$"), kind, page) ? "file " : "- ";
    result += MacroEnabled(Entry("$ROWS$"), kind, page) ? "rows" : "-";
    return result;
}

}  // namespace

TEST(MacroRules, EachFieldKindOnEachPage) {
    // File-name fields take the file-field macros on any page; $ROWS$ only on the Footer page.
    EXPECT_EQ(Rules(FieldKind::FileName, 1), "date - -");
    EXPECT_EQ(Rules(FieldKind::FileName, 0), "date - -");
    EXPECT_EQ(Rules(FieldKind::FileName, 4), "date - rows");
    // Plain fields take macros on the Report, Header and Footer pages only.
    EXPECT_EQ(Rules(FieldKind::PlainText, 2), "date file -");
    EXPECT_EQ(Rules(FieldKind::PlainText, 3), "date file -");
    EXPECT_EQ(Rules(FieldKind::PlainText, 4), "date file rows");
    EXPECT_EQ(Rules(FieldKind::PlainText, 1), "- - -");
    EXPECT_EQ(Rules(FieldKind::PlainText, 7), "- - -");
    // The SQL editor, other controls and no project window take none.
    EXPECT_EQ(Rules(FieldKind::SqlEditor, 0), "- - -");
    EXPECT_EQ(Rules(FieldKind::SqlEditor, 4), "- - -");
    EXPECT_EQ(Rules(FieldKind::None, 4), "- - -");
    EXPECT_EQ(Rules(FieldKind::PlainText, -1), "- - -");
    EXPECT_EQ(Rules(FieldKind::FileName, -1), "date - -");
}

TEST(MacroRules, MenuOrderAndTheHiddenStatementCommand) {
    QStringList shown;
    for (const MacroEntry& entry : MacroEntries()) {
        if (entry.inMenu) shown << QString::fromLatin1(entry.text) + (entry.separatorAfter ? "|" : "");
    }
    EXPECT_EQ(shown.join(' ').toStdString(),
              "$DATE$ $TIME$ $FILE$ $FORMAT$| $QUERY$ $QUERYn$ $NAME$ $NAMEn$ $ROWS$ $STATEMENT$");
    EXPECT_EQ(QString::fromLatin1(MacroEntries().back().text), QStringLiteral("$STATEMENT$"));
    EXPECT_EQ(MacroEntries().back().command, 32800);
}

TEST(MacroRules, FieldKinds) {
    QLineEdit line;
    EXPECT_EQ(FieldKindOf(&line), FieldKind::PlainText);
    line.setReadOnly(true);  // the connection line
    EXPECT_EQ(FieldKindOf(&line), FieldKind::None);
    QLineEdit file;
    SetFieldKind(&file, FieldKind::FileName);
    EXPECT_EQ(FieldKindOf(&file), FieldKind::FileName);
    file.setEnabled(false);  // a page during its run
    EXPECT_EQ(FieldKindOf(&file), FieldKind::None);
    QWidget other;
    EXPECT_EQ(FieldKindOf(&other), FieldKind::None);
    EXPECT_EQ(FieldKindOf(nullptr), FieldKind::None);
}

TEST(MacroInsertion, ReplacesTheSelectionAsOneUndoStep) {
    QLineEdit line(QStringLiteral("Report of TODAY here"));
    line.setSelection(10, 5);
    ASSERT_TRUE(InsertMacro(&line, QStringLiteral("$DATE$")));
    EXPECT_EQ(line.text(), QStringLiteral("Report of $DATE$ here"));
    line.undo();
    EXPECT_EQ(line.text(), QStringLiteral("Report of TODAY here"));

    QPlainTextEdit text(QStringLiteral("rows: "));
    QTextCursor cursor = text.textCursor();
    cursor.movePosition(QTextCursor::End);
    text.setTextCursor(cursor);
    ASSERT_TRUE(InsertMacro(&text, QStringLiteral("$ROWS$")));
    EXPECT_EQ(text.toPlainText(), QStringLiteral("rows: $ROWS$"));
    text.undo();
    EXPECT_EQ(text.toPlainText(), QStringLiteral("rows: "));

    QWidget other;
    EXPECT_FALSE(InsertMacro(&other, QStringLiteral("$DATE$")));
}

class MacroMenuTest : public WindowTest {};

// The menu follows the focused field and its page, and inserts into that field.
TEST_F(MacroMenuTest, FollowsTheFocusedFieldOfTheActivePage) {
    CChildFrame* child = m_frame->NewProject();
    m_frame->show();
    QApplication::setActiveWindow(m_frame.get());
    Settle();
    QAction* date = m_frame->Action(32789);
    QAction* file = m_frame->Action(32791);
    QAction* rows = m_frame->Action(32792);

    child->View()->Tabs()->setCurrentIndex(1);  // Output page: its output file field
    Page(child, 1)->file->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == Page(child, 1)->file; }));
    m_frame->UpdateActions();
    EXPECT_TRUE(m_frame->MacroButton()->isEnabled());
    EXPECT_TRUE(date->isEnabled());
    EXPECT_FALSE(file->isEnabled());
    EXPECT_FALSE(rows->isEnabled());
    EXPECT_TRUE(m_frame->CanInsertMacro(true));
    EXPECT_FALSE(m_frame->CanInsertMacro(false));
    date->trigger();
    EXPECT_EQ(Page(child, 1)->file->text(), QStringLiteral("$DATE$"));

    child->View()->Tabs()->setCurrentIndex(4);  // Footer page: every macro
    Page(child, 4)->multi->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == Page(child, 4)->multi; }));
    m_frame->UpdateActions();
    ASSERT_EQ(m_frame->ActiveChild(), child);
    EXPECT_EQ(child->View()->CurrentPage(), 4);
    EXPECT_EQ(FieldKindOf(QApplication::focusWidget()), FieldKind::PlainText);
    EXPECT_TRUE(date->isEnabled());
    EXPECT_TRUE(file->isEnabled());
    EXPECT_TRUE(rows->isEnabled());
    rows->trigger();
    EXPECT_EQ(Page(child, 4)->multi->toPlainText(), QStringLiteral("$ROWS$"));

    child->View()->Tabs()->setCurrentIndex(0);  // the SQL editor: text entry, no macro
    Page(child, 0)->sql->setFocus();
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == Page(child, 0)->sql; }));
    m_frame->UpdateActions();
    EXPECT_TRUE(m_frame->MacroButton()->isEnabled());
    EXPECT_FALSE(date->isEnabled());
    EXPECT_FALSE(file->isEnabled());
    date->trigger();
    EXPECT_TRUE(Page(child, 0)->sql->toPlainText().isEmpty());
}
