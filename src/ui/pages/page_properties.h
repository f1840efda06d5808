#pragma once
// The Properties page: the project's column properties, a fixed look for a column or the column left out.

#include "column_property.h"
#include "white_dialog_with_props.h"

class QGroupBox;

class PageProperties : public WhiteDialogWithProps {
    Q_OBJECT
  public:
    explicit PageProperties(CProjectView* view, QWidget* parent = nullptr);
    void LoadFromProject(CtwDoc& project) override;

    QCheckBox* ExcludeBox() const { return m_exclude; }
    QGroupBox* StyleGroup() const { return m_styleGroup; }

  protected:
    int RuleCount(const CtwDoc& project) const override;
    void ShowRule(const CtwDoc& project, int position) override;
    void AddRule(CtwDoc& project) override;
    void SaveRule(CtwDoc& project, int position) override;
    void RemoveRule(CtwDoc& project, int position) override;

  private:
    ColumnProperty Build() const;
    void ShowExclude();

    QCheckBox* m_exclude;
    QGroupBox* m_styleGroup;
};
