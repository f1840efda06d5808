#pragma once
// The Markers page: the project's value markers, each a look applied where a condition on a column holds.

#include "value_marker.h"
#include "white_dialog_with_props.h"


class PageMarkers : public WhiteDialogWithProps {
    Q_OBJECT
  public:
    explicit PageMarkers(CProjectView* view, QWidget* parent = nullptr);
    void LoadFromProject(CtwDoc& project) override;

    QCheckBox* WholeRowBox() const { return m_wholeRow; }
    QComboBox* ConditionColumnBox() const { return m_conditionColumn; }
    QComboBox* OperationList() const { return m_operation; }
    QLineEdit* OperandField() const { return m_operand; }

  protected:
    int RuleCount(const CtwDoc& project) const override;
    void ShowRule(const CtwDoc& project, int position) override;
    void AddRule(CtwDoc& project) override;
    void SaveRule(CtwDoc& project, int position) override;
    void RemoveRule(CtwDoc& project, int position) override;
    QComboBox* SecondColumnBox() const override { return m_conditionColumn; }

  private:
    ValueMarker Build() const;
    void ShowWholeRow();
    static QStringList RowTexts(const ValueMarker& marker);

    QCheckBox* m_wholeRow;
    QComboBox* m_conditionColumn;
    QComboBox* m_operation;
    QLineEdit* m_operand;
};
