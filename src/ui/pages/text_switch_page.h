#pragma once
// The Header and Footer pages: a switch, a paragraph size, a CSS class and the text of one printed part.

#include <optional>
#include <string>

#include "project_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class TextSwitchPage : public ProjectPage {
    Q_OBJECT
  public:
    // The project fields of one part (header or footer).
    struct Fields {
        std::optional<std::wstring> (CtwDoc::*text)() const;
        void (CtwDoc::*setText)(const std::optional<std::wstring>&);
        int CtwDoc::*size;
        void (CtwDoc::*setSize)(int);
        std::wstring CtwDoc::*cssClass;
        void (CtwDoc::*setClass)(const std::wstring&);
    };
    TextSwitchPage(CProjectView* view, const QString& switchLabel, const Fields& fields, QWidget* parent = nullptr);

    void LoadFromProject(CtwDoc& project) override;
    void SaveToProject(CtwDoc& project) override;

    QCheckBox* Switch() const { return m_switch; }
    QComboBox* SizeList() const { return m_size; }
    QLineEdit* ClassField() const { return m_class; }
    QPlainTextEdit* TextField() const { return m_text; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Fields m_fields;
    bool m_loading = false;
    QCheckBox* m_switch;
    QComboBox* m_size;
    QLineEdit* m_class;
    QPlainTextEdit* m_text;
};

// The paragraph size list of the title, header and footer: "Default" (0), then 1 (biggest) to 6 (smallest).
QComboBox* NewParagraphSizeList(QWidget* parent);
