#include "find_replace_dialog.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FindReplaceDialog::FindReplaceDialog(QsciScintilla* editor) : QDialog(editor), m_editor(editor) {
    setWindowTitle(tr("Search and Replace"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_find = new QLineEdit(this);
    m_replace = new QLineEdit(this);
    form->addRow(tr("Fi&nd what:"), m_find);
    form->addRow(tr("Re&place with:"), m_replace);
    layout->addLayout(form);
    m_case = new QCheckBox(tr("Match &case"), this);
    m_word = new QCheckBox(tr("Match &whole word only"), this);
    layout->addWidget(m_case);
    layout->addWidget(m_word);
    m_status = new QLabel(this);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(tr("&Find Next"), QDialogButtonBox::ActionRole);
    QPushButton* replace = buttons->addButton(tr("&Replace"), QDialogButtonBox::ActionRole);
    QPushButton* all = buttons->addButton(tr("Replace &All"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    next->setDefault(true);
    layout->addWidget(buttons);
    connect(next, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(replace, &QPushButton::clicked, this, [this] { Replace(); });
    connect(all, &QPushButton::clicked, this, [this] { ReplaceAll(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

void FindReplaceDialog::SetFindText(const QString& text) { m_find->setText(text); }

bool FindReplaceDialog::FindNext() {
    if (m_find->text().isEmpty()) return false;
    const bool found = m_editor->findFirst(m_find->text(), false, m_case->isChecked(), m_word->isChecked(), true);
    m_status->setText(found ? QString() : tr("\"%1\" was not found.").arg(m_find->text()));
    return found;
}

bool FindReplaceDialog::Replace() {
    if (m_editor->hasSelectedText() &&
        m_editor->selectedText().compare(m_find->text(), m_case->isChecked() ? Qt::CaseSensitive
                                                                              : Qt::CaseInsensitive) == 0) {
        m_editor->replaceSelectedText(m_replace->text());
    }
    return FindNext();
}

int FindReplaceDialog::ReplaceAll() {
    if (m_find->text().isEmpty()) return 0;
    int count = 0;
    m_editor->beginUndoAction();
    m_editor->setCursorPosition(0, 0);
    // No wrapping: each match after the previous replacement, so a replacement holding the text ends it.
    while (m_editor->findFirst(m_find->text(), false, m_case->isChecked(), m_word->isChecked(), false)) {
        m_editor->replace(m_replace->text());
        ++count;
    }
    m_editor->endUndoAction();
    m_status->setText(tr("%n replacement(s).", nullptr, count));
    return count;
}
