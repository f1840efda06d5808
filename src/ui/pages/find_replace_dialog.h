#pragma once
// Search and replace in the SQL editor: a small modeless window that works on its parent editor.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QLabel;
class QsciScintilla;

class FindReplaceDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FindReplaceDialog(QsciScintilla* editor);

    void SetFindText(const QString& text);
    // Finds the next match after the caret (wrapping); whether there was one.
    bool FindNext();
    // Replaces the current match (if the selection is one) and finds the next.
    bool Replace();
    // Replaces every match, as one undo step; how many.
    int ReplaceAll();

  private:
    QsciScintilla* m_editor;
    QLineEdit* m_find;
    QLineEdit* m_replace;
    QCheckBox* m_case;
    QCheckBox* m_word;
    QLabel* m_status;
};
