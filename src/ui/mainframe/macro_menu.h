#pragma once
// The macro menu: which macro token may go into the focused field, and its insertion as one undo step.

#include <QString>
#include <vector>

#include "project_page.h"

class QWidget;

struct MacroEntry {
    enum class Rule {
        FileFieldsAllowed,     // any plain field of the Report, Header and Footer pages, and file-name fields
        FileFieldsNotAllowed,  // plain fields of those pages only
        FooterOnly,            // as FileFieldsAllowed, and only while the Footer page is current
    };
    const char* text;    // the entry and the inserted token
    int command;
    const char* prompt;  // status-bar prompt (may be empty)
    Rule rule;
    bool separatorAfter;
    bool inMenu;  // 32800 inserts "$STATEMENT$" too but shows in no menu
};

// The entries in menu order, then the command that no menu shows.
const std::vector<MacroEntry>& MacroEntries();

// Page indexes whose plain text fields take macros.
inline constexpr int kReportPage = 2, kHeaderPage = 3, kFooterPage = 4;

// CanInsertMacro for a focused field of kind on page pageIndex of the active project window (-1 when there is
// no active project window).
bool CanInsertMacro(bool fileFieldsAllowed, FieldKind kind, int pageIndex);
// Whether entry is enabled for that field.
bool MacroEnabled(const MacroEntry& entry, FieldKind kind, int pageIndex);
// Replaces the selection of control (the caret when empty) by token as one step that its undo takes back.
// False when control takes no text.
bool InsertMacro(QWidget* control, const QString& token);
