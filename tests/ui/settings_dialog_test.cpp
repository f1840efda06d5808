#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "dialog_fixture.h"
#include "settings_dialog.h"

using SettingsDialogTest = DialogTest;

TEST_F(SettingsDialogTest, ShowsTheStoredValuesAndSavesThemPermanently) {
    Settings().setStr(L"DefTitle", L"Sales");
    Settings().setStr(L"DefHeader", L"line 1\r\nline 2");
    Settings().setInt(L"HasHTML", 1);
    Settings().setStr(L"TxtSeparator", L";");  // put there by hand: not a tab, so "comma"
    CSettings dialog;
    EXPECT_EQ(dialog.TitleEdit()->text(), QStringLiteral("Sales"));
    EXPECT_EQ(dialog.HeaderEdit()->toPlainText(), QStringLiteral("line 1\nline 2"));
    EXPECT_TRUE(dialog.HasHtmlBox()->isChecked());
    EXPECT_FALSE(dialog.CommonHfBox()->isChecked());
    EXPECT_EQ(dialog.SeparatorList()->currentText(), QStringLiteral("comma"));
    EXPECT_EQ(dialog.DateEdit()->text(), QStringLiteral("DD-MM-YYYY"));
    EXPECT_EQ(dialog.EditorEdit()->text(), QStringLiteral("notepad.exe"));

    dialog.FooterEdit()->setPlainText(QStringLiteral("a\nb"));
    dialog.CommonHfBox()->setChecked(true);
    dialog.DateEdit()->clear();  // no validation: an empty format is accepted
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // What was saved is what the settings file gives back on the next start.
    Settings().ResetToDefaults();
    Settings().Load();
    EXPECT_EQ(Settings().getStr(L"TxtSeparator"), L",");
    EXPECT_EQ(Settings().getStr(L"DefFooter"), L"a\r\nb");
    EXPECT_EQ(Settings().getStr(L"DefHeader"), L"line 1\r\nline 2");
    EXPECT_EQ(Settings().getInt(L"CommonHF"), 1);
    EXPECT_EQ(Settings().getStr(L"DateMFormat"), L"");
    EXPECT_EQ(Settings().getStr(L"DefTitle"), L"Sales");
    EXPECT_TRUE(TestHost().boxes.isEmpty());
}

TEST_F(SettingsDialogTest, TabIsTheOnlyTabAndCancelChangesNothing) {
    {
        CSettings dialog;
        EXPECT_EQ(dialog.SeparatorList()->currentText(), QStringLiteral("tab"));
        dialog.TitleEdit()->setText(QStringLiteral("changed"));
        dialog.HeaderEdit()->setPlainText(QStringLiteral("changed"));
        dialog.FooterEdit()->setPlainText(QStringLiteral("changed"));
        for (QCheckBox* box : {dialog.UseForEmptyBox(), dialog.CommonHfBox(), dialog.HasHtmlBox()})
            box->setChecked(true);
        dialog.EditorEdit()->setText(QStringLiteral("vi"));
        dialog.SeparatorList()->setCurrentIndex(1);
        dialog.DateEdit()->setText(QStringLiteral("x"));
        dialog.TimeEdit()->setText(QStringLiteral("y"));
        dialog.reject();
    }
    EXPECT_EQ(Settings().getStr(L"DefTitle"), L"The Query Report");
    EXPECT_EQ(Settings().getStr(L"TxtSeparator"), L"\t");
    EXPECT_EQ(Settings().getInt(L"UseForEmpty"), 0);
    EXPECT_EQ(Settings().getStr(L"SQLeditor"), L"notepad.exe");
    CSettings again;
    EXPECT_EQ(again.TitleEdit()->text(), QStringLiteral("The Query Report"));
    EXPECT_EQ(again.TimeEdit()->text(), QStringLiteral("HH:MM:SS"));
    // Saved untouched, a tab stays a tab.
    again.accept();
    EXPECT_EQ(Settings().getStr(L"TxtSeparator"), L"\t");
}
