#include "macro_menu.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

const std::vector<MacroEntry>& MacroEntries() {
    using Rule = MacroEntry::Rule;
    static const std::vector<MacroEntry> entries = {
        {"$DATE$", 32789, "Today. Format is defined at the settings window", Rule::FileFieldsAllowed, false, true},
        {"$TIME$", 32790, "Now. Format is defined at the settings window", Rule::FileFieldsAllowed, false, true},
        {"$FILE$", 32791, "Current output file name", Rule::FileFieldsNotAllowed, false, true},
        {"$FORMAT$", 32799, "Output format name", Rule::FileFieldsAllowed, true, true},
        {"$QUERY$", 32793, "Complete SQL script", Rule::FileFieldsAllowed, false, true},
        {"$QUERYn$", 32797, "Current SQL statement text", Rule::FileFieldsAllowed, false, true},
        {"$NAME$", 32803, "Name of the statement", Rule::FileFieldsAllowed, false, true},
        {"$NAMEn$", 32806, "", Rule::FileFieldsAllowed, false, true},
        {"$ROWS$", 32792, "Number of report rows generated", Rule::FooterOnly, false, true},
        {"$STATEMENT$", 32805, "Number of satetements in the query", Rule::FileFieldsAllowed, false, true},
        {"$STATEMENT$", 32800, "Current SQL statement number starting 1", Rule::FileFieldsAllowed, false, false},
    };
    return entries;
}

bool CanInsertMacro(bool fileFieldsAllowed, FieldKind kind, int pageIndex) {
    if (fileFieldsAllowed && kind == FieldKind::FileName) return true;
    if (kind != FieldKind::PlainText || pageIndex < 0) return false;
    return pageIndex == kReportPage || pageIndex == kHeaderPage || pageIndex == kFooterPage;
}

bool MacroEnabled(const MacroEntry& entry, FieldKind kind, int pageIndex) {
    switch (entry.rule) {
        case MacroEntry::Rule::FileFieldsAllowed:
            return CanInsertMacro(true, kind, pageIndex);
        case MacroEntry::Rule::FileFieldsNotAllowed:
            return CanInsertMacro(false, kind, pageIndex);
        case MacroEntry::Rule::FooterOnly:
            return CanInsertMacro(true, kind, pageIndex) && pageIndex == kFooterPage;
    }
    return false;
}

bool InsertMacro(QWidget* control, const QString& token) {
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->insert(token);  // replaces the selection; one undo step
        return true;
    }
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit()) {
        combo->lineEdit()->insert(token);
        return true;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->insertPlainText(token);
        return true;
    }
    if (auto* rich = qobject_cast<QTextEdit*>(control)) {
        rich->insertPlainText(token);
        return true;
    }
    return false;
}
