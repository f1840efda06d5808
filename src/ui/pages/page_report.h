#pragma once
// The Report page: the report style, the title with its paragraph size and CSS class, and the summary, table
// of contents and open-when-done options.

#include "project_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class PageReport : public ProjectPage {
    Q_OBJECT
  public:
    explicit PageReport(CProjectView* view, QWidget* parent = nullptr);

    // Shows the style list only for the formats that use a style, then loads.
    void Activate() override;
    void LoadFromProject(CtwDoc& project) override;
    void SaveToProject(CtwDoc& project) override;

    QComboBox* StyleList() const { return m_style; }
    QLabel* StyleLabel() const { return m_styleLabel; }
    QCheckBox* TitleSwitch() const { return m_titleSwitch; }
    QComboBox* SizeList() const { return m_size; }
    QLineEdit* ClassField() const { return m_class; }
    QPlainTextEdit* TitleField() const { return m_title; }
    QCheckBox* SummaryBox() const { return m_summary; }
    QCheckBox* TocBox() const { return m_toc; }
    QCheckBox* OpenBox() const { return m_open; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* m_styleLabel;
    QComboBox* m_style;
    QCheckBox* m_titleSwitch;
    QComboBox* m_size;
    QLineEdit* m_class;
    QPlainTextEdit* m_title;
    QCheckBox* m_summary;
    QCheckBox* m_toc;
    QCheckBox* m_open;
};
