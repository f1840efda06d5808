#pragma once
// The Output page: the report format, the output file, and the language, charset or landscape of the formats
// that use them.

#include "project_page.h"

class FileNameField;
class QCheckBox;
class QComboBox;
class QLabel;

class PageOutput : public ProjectPage {
    Q_OBJECT
  public:
    explicit PageOutput(CProjectView* view, QWidget* parent = nullptr);

    void LoadFromProject(CtwDoc& project) override;
    void SaveToProject(CtwDoc& project) override;

    QComboBox* FormatList() const { return m_format; }
    FileNameField* FileField() const { return m_file; }
    QComboBox* LanguageList() const { return m_language; }
    QComboBox* CharsetList() const { return m_charset; }
    QCheckBox* LandscapeBox() const { return m_landscape; }

  private:
    // The output file gets the extension of the listed format; the browse button its filter.
    void SetExtension();
    void ShowControlsFor(int format);
    void FormatPicked();

    QComboBox* m_format;
    FileNameField* m_file;
    QLabel* m_languageLabel;
    QComboBox* m_language;
    QLabel* m_charsetLabel;
    QComboBox* m_charset;
    QLabel* m_landscapeLabel;
    QCheckBox* m_landscape;
};

// Selects text in an editable history list, adding it first when the list does not have it.
void SetActiveOrAdd(QComboBox* list, const QString& text);
