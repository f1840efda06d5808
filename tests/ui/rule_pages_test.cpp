// The rule pages (markers, properties, converters) and the Parameters page, driven on the real window.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QValidator>

#include "page_converter.h"
#include "page_markers.h"
#include "page_parameters.h"
#include "page_properties.h"
#include "ui_fixture.h"

class RulePagesTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        CProjectView::SetPageFactory([this](int index, CProjectView* view) -> ProjectPage* {
            switch (index) {
                case 5: return new PageMarkers(view);
                case 6: return new PageProperties(view);
                case 7: return new PageParameters(view);
                case 8: return new PageConverter(view);
                default: return new StandInPage(view, index, m_pageLog);
            }
        });
    }
    void TearDown() override {
        PageParameters::SetEditorCommand({});
        WindowTest::TearDown();
    }
    template <class PageType>
    PageType* Show(CChildFrame* child, int index) {
        child->View()->Tabs()->setCurrentIndex(index);
        return static_cast<PageType*>(child->View()->Page(index));
    }
};

TEST_F(RulePagesTest, MarkerSavedMarksModifiedOnlyWhenItChanged) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    CtwDoc& project = child->Project();
    auto* page = Show<PageMarkers>(child, 5);
    page->ColumnBox()->setEditText(QStringLiteral("a"));
    page->OperationList()->setCurrentIndex(-1);
    page->AddButton()->click();
    ASSERT_EQ(project.m_markers.size(), 1u);
    EXPECT_EQ(project.m_markers[0].ConditionOperation, L"");  // nothing selected: empty, never holds
    EXPECT_EQ(page->List()->topLevelItem(0)->text(1), QStringLiteral("  "));
    EXPECT_TRUE(project.IsModified());

    project.SetModified(false);
    page->SelectRow(0);
    page->SaveButton()->click();
    EXPECT_FALSE(project.IsModified());
    page->OperandField()->setText(QStringLiteral("5"));
    page->SaveButton()->click();
    EXPECT_TRUE(project.IsModified());
    EXPECT_EQ(project.m_markers[0].ConditionOperand, L"5");

    // A whole-row marker stores an empty column; the column box is hidden meanwhile.
    page->WholeRowBox()->click();
    EXPECT_TRUE(page->ColumnBox()->isHidden());
    page->AddButton()->click();
    ASSERT_EQ(project.m_markers.size(), 2u);
    EXPECT_EQ(project.m_markers[1].Column, L"");
    EXPECT_EQ(page->List()->topLevelItem(1)->text(0), QStringLiteral("Whole Row"));
}

TEST_F(RulePagesTest, AddingForAColumnThatHasARuleAndRemovingTheSelectedOne) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    CtwDoc& project = child->Project();
    auto* page = Show<PageProperties>(child, 6);
    page->AddButton()->click();  // no column
    EXPECT_EQ(TestHost().boxes.value(0),
              QStringLiteral("Add: Please select or enter name of the column to be added."));
    for (const char* name : {"a", "b", "c"}) {
        page->ColumnBox()->setEditText(QString::fromLatin1(name));
        page->AddButton()->click();
    }
    ASSERT_EQ(project.m_columnProperties.size(), 3u);
    TestHost().boxes.clear();
    page->ColumnBox()->setEditText(QStringLiteral("b"));
    page->AddButton()->click();
    EXPECT_EQ(project.m_columnProperties.size(), 3u);
    EXPECT_TRUE(TestHost().boxes.value(0).startsWith(QStringLiteral("Add: The column 'b' already has a rule (row 2)")));

    TestHost().boxes.clear();
    page->SelectRow(-1);
    page->RemoveButton()->click();
    EXPECT_EQ(TestHost().boxes.value(0), QStringLiteral("Remove Property: No item to delete was selected."));
    page->SelectRow(1);
    TestHost().answer = QMessageBox::No;
    page->RemoveButton()->click();
    EXPECT_EQ(project.m_columnProperties.size(), 3u);
    TestHost().answer = QMessageBox::Yes;
    page->RemoveButton()->click();
    ASSERT_EQ(project.m_columnProperties.size(), 2u);
    EXPECT_EQ(project.m_columnProperties[1].ColumnName, L"c");
    // The row that took the removed one's place is selected and shown.
    EXPECT_EQ(page->Selected(), 1);
    EXPECT_EQ(page->ColumnBox()->currentText(), QStringLiteral("c"));
    page->RemoveButton()->click();
    EXPECT_EQ(page->Selected(), 0);
    EXPECT_EQ(page->List()->topLevelItemCount(), 1);
}

TEST_F(RulePagesTest, ConverterWidthAndRegularExpression) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    CtwDoc& project = child->Project();
    auto* page = Show<PageConverter>(child, 8);
    page->WidthField()->setText(QStringLiteral("0"));
    page->AddButton()->click();  // an empty column is allowed here
    ASSERT_EQ(project.m_converters.size(), 1u);
    EXPECT_EQ(project.m_converters[0].Digits, 0);
    EXPECT_EQ(project.m_converters[0].Pres, -1);
    page->SelectRow(0);
    page->WidthField()->clear();
    page->SaveButton()->click();
    EXPECT_EQ(project.m_converters[0].Digits, -1);
    QString letter = QStringLiteral("x");
    int at = 0;
    EXPECT_EQ(page->WidthField()->validator()->validate(letter, at), QValidator::Invalid);  // digits only

    page->RegexFromField()->setText(QStringLiteral("(\\d+"));
    EXPECT_FALSE(page->RegexMessage().isEmpty());  // shown while typing, before any save
    TestHost().boxes.clear();
    page->SaveButton()->click();
    EXPECT_TRUE(TestHost().boxes.value(0).startsWith(QStringLiteral("Save Property: Invalid expression: ")));
    EXPECT_EQ(project.m_converters[0].RegexFrom, L"");
    page->RegexFromField()->setText(QStringLiteral("(\\d+)"));
    EXPECT_TRUE(page->RegexMessage().isEmpty());
    page->RegexToField()->setText(QStringLiteral("#$1"));
    page->SampleField()->setText(QStringLiteral("no 42"));
    EXPECT_EQ(page->SampleResult(), QStringLiteral("no #42"));
}

TEST_F(RulePagesTest, LoadingColumnNamesFromTheScript) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a, 2 AS b; SELECT 3 AS c", "");
    auto* page = Show<PageMarkers>(child, 5);
    QList<bool> loaded;
    QObject::connect(page, &WhiteDialogWithProps::columnsLoaded, [&loaded](bool ok) { loaded << ok; });
    page->LoadColumnsButton()->click();
    // The connection is the page's until the load ends: a run asked for meanwhile waits.
    EXPECT_TRUE(child->View()->ConnectionInUse());
    ASSERT_TRUE(WaitFor([&] { return loaded.size() == 1; }));
    EXPECT_FALSE(child->View()->ConnectionInUse());
    EXPECT_TRUE(loaded.value(0));
    ASSERT_EQ(page->ColumnBox()->count(), 2);  // the first result set only
    EXPECT_EQ(page->ColumnBox()->itemText(1), QStringLiteral("b"));
    EXPECT_EQ(page->ColumnBox()->currentText(), QStringLiteral("a"));
    EXPECT_EQ(page->ConditionColumnBox()->count(), 2);
    EXPECT_TRUE(child->Project().m_resultColumns.empty());  // only a run refreshes those

    CChildFrame* failing = Open("q.twp", "SELECT * FROM missing; SELECT 1 AS a", "");
    auto* failingPage = Show<PageProperties>(failing, 6);
    QList<bool> failed;
    QObject::connect(failingPage, &WhiteDialogWithProps::columnsLoaded, [&failed](bool ok) { failed << ok; });
    failingPage->LoadColumnsButton()->click();
    ASSERT_TRUE(WaitFor([&] { return failed.size() == 1; }));
    EXPECT_FALSE(failed.value(0, true));
    EXPECT_TRUE(TestHost().boxes.value(0).startsWith(QStringLiteral("Execution error: ")));
    EXPECT_TRUE(TestHost().boxes.value(0).contains(QStringLiteral("missing")));
    EXPECT_EQ(failingPage->ColumnBox()->count(), 0);
}

TEST_F(RulePagesTest, RuleComesBackUnchangedThroughSaveAndLoad) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    auto* page = Show<PageProperties>(child, 6);
    page->ColumnBox()->setEditText(QStringLiteral("total"));
    page->FontColorBox()->setEditText(QStringLiteral("#FFCC00"));
    page->AlignList()->setCurrentIndex(1);
    page->FontSizeList()->setCurrentIndex(4);
    page->BoldBox()->setChecked(true);
    page->CssClassField()->setText(QStringLiteral("money"));
    page->AddButton()->click();
    const std::wstring path = (m_folder.Path() / "saved.twp").wstring();
    ASSERT_TRUE(child->Project().Save(path));
    CtwDoc loaded;
    ASSERT_TRUE(loaded.LoadFile(path));
    ASSERT_EQ(loaded.m_columnProperties.size(), 1u);
    EXPECT_TRUE(SameColumnProperty(loaded.m_columnProperties[0], child->Project().m_columnProperties[0]));
    EXPECT_EQ(loaded.m_columnProperties[0].style.FontColor, L"#FFCC00");
    EXPECT_EQ(loaded.m_columnProperties[0].style.FontSize, 2);
    EXPECT_EQ(loaded.m_columnProperties[0].style.Align, L"Right");
    // Shown once, the typed colour stays among the box's entries.
    page->SelectRow(0);
    EXPECT_GE(page->FontColorBox()->findText(QStringLiteral("#FFCC00")), 0);
}

TEST_F(RulePagesTest, PagesAreReadOnlyWhileTheProjectRuns) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    CtwDoc& project = child->Project();
    auto* page = Show<PageMarkers>(child, 5);
    page->ColumnBox()->setEditText(QStringLiteral("a"));
    child->View()->SetRunning(true);
    EXPECT_FALSE(page->isEnabled());
    page->AddButton()->click();  // a click that reaches the page anyway changes nothing
    EXPECT_TRUE(project.m_markers.empty());
    child->View()->SetRunning(false);
    EXPECT_TRUE(page->isEnabled());
    page->AddButton()->click();
    EXPECT_EQ(project.m_markers.size(), 1u);
}

TEST_F(RulePagesTest, ParametersListAfterAnExternalEdit) {
    CChildFrame* child = Open("p.twp", "SELECT 1 AS a", "");
    auto* page = Show<PageParameters>(child, 7);
    // The stand-in editor appends a parameter and a line without "=" to the file it is given.
    PageParameters::SetEditorCommand(
        {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("sleep 0.2; printf '?1=North\\n?12\\n' >> \"$0\"")});
    page->FileField()->setText(QStringLiteral("values.txt"));
    EXPECT_EQ(child->Project().Values, L"values.txt");
    EXPECT_EQ(page->List()->topLevelItemCount(), 0);
    TestHost().answer = QMessageBox::Yes;
    int closed = 0;
    QObject::connect(page, &PageParameters::editorClosed, [&closed] { ++closed; });
    page->EditorButton()->click();
    EXPECT_TRUE(TestHost().questions.value(0).contains(QStringLiteral("not found or inaccessible")));
    EXPECT_TRUE(page->IsEditing());  // the window goes on while the editor runs
    ASSERT_TRUE(WaitFor([&] { return closed == 1; }));
    ASSERT_EQ(page->List()->topLevelItemCount(), 2);
    EXPECT_EQ(page->List()->topLevelItem(0)->text(1), QStringLiteral("North"));
    EXPECT_EQ(page->List()->topLevelItem(1)->text(0), QString());
    EXPECT_EQ(page->List()->topLevelItem(1)->text(1), QStringLiteral("?12"));

    // A folder that does not exist: nothing is created and no editor starts.
    TestHost().questions.clear();
    page->FileField()->setText(QStringLiteral("nowhere/values.txt"));
    page->EditorButton()->click();
    EXPECT_EQ(TestHost().questions.size(), 1);
    EXPECT_FALSE(page->IsEditing());
}
