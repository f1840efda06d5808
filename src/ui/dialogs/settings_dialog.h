#pragma once
// The settings dialog ("Product Settings"): the defaults for new projects, macro formats, the text separator
// and the external script editor, moved between the controls and the settings store.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class CSettings : public QDialog {
    Q_OBJECT
  public:
    explicit CSettings(QWidget* parent = nullptr);

    // Copies the controls into the store and saves it; the dialog closes. A store that cannot be written is
    // reported; the values still hold until the program ends.
    void accept() override;

    QLineEdit* TitleEdit() const { return m_title; }
    QPlainTextEdit* HeaderEdit() const { return m_header; }
    QPlainTextEdit* FooterEdit() const { return m_footer; }
    QCheckBox* UseForEmptyBox() const { return m_useForEmpty; }
    QCheckBox* CommonHfBox() const { return m_commonHF; }
    QCheckBox* HasHtmlBox() const { return m_hasHTML; }
    QLineEdit* EditorEdit() const { return m_editor; }
    QComboBox* SeparatorList() const { return m_separator; }
    QLineEdit* DateEdit() const { return m_date; }
    QLineEdit* TimeEdit() const { return m_time; }

  private:
    void Load();
    void BrowseEditor();

    QLineEdit* m_title;
    QPlainTextEdit* m_header;
    QPlainTextEdit* m_footer;
    QCheckBox* m_useForEmpty;
    QCheckBox* m_commonHF;
    QCheckBox* m_hasHTML;
    QLineEdit* m_editor;
    QComboBox* m_separator;
    QLineEdit* m_date;
    QLineEdit* m_time;
};
