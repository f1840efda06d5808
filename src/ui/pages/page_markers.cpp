#include "page_markers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ctw_doc.h"
#include "host.h"
#include "rule_edit.h"

PageMarkers::PageMarkers(CProjectView* view, QWidget* parent) : WhiteDialogWithProps(view, parent) {
    auto* right = new QWidget(this);
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    m_wholeRow = new QCheckBox(tr("Apply to whole row"), right);
    connect(m_wholeRow, &QCheckBox::clicked, this, &PageMarkers::ShowWholeRow);
    column->addWidget(m_wholeRow);

    auto* condition = new QGroupBox(tr(" Condition "), right);
    auto* grid = new QGridLayout(condition);
    m_conditionColumn = new QComboBox(condition);
    m_conditionColumn->setEditable(true);
    m_conditionColumn->setInsertPolicy(QComboBox::NoInsert);
    m_operation = new QComboBox(condition);
    m_operation->addItems({QStringLiteral(">"), QStringLiteral("<"), QStringLiteral("="), QStringLiteral("!="),
                           QStringLiteral(">="), QStringLiteral("<="), QStringLiteral("Contains"),
                           QStringLiteral("Starts with"), QStringLiteral("In Range")});
    m_operation->setCurrentIndex(-1);
    m_operand = new QLineEdit(condition);
    grid->addWidget(new QLabel(tr("Column"), condition), 0, 0);
    grid->addWidget(new QLabel(tr("Operation"), condition), 0, 1);
    grid->addWidget(new QLabel(tr("Value"), condition), 0, 2);
    grid->addWidget(m_conditionColumn, 1, 0);
    grid->addWidget(m_operation, 1, 1);
    grid->addWidget(m_operand, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(2, 2);
    column->addWidget(condition);
    column->addWidget(BuildStyleGroup(tr(" View Options ")), 1);

    BuildFrame({tr("Column"), tr("Condition")}, {70, 117}, tr("Add the value marker"),
               tr("Remove selected value marker"), tr("Save the value marker"), right);
}

QStringList PageMarkers::RowTexts(const ValueMarker& marker) {
    const QString target = marker.IsWholeRow != 0 ? tr("Whole Row") : QString::fromStdWString(marker.Column);
    const QString condition = QString::fromStdWString(marker.ConditionColumn + L" " + marker.ConditionOperation + L" " +
                                                      marker.ConditionOperand);
    return {target, condition};
}

void PageMarkers::LoadFromProject(CtwDoc& project) {
    List()->clear();
    for (const ValueMarker& marker : project.m_markers) AppendRow(RowTexts(marker));
}

int PageMarkers::RuleCount(const CtwDoc& project) const { return static_cast<int>(project.m_markers.size()); }

ValueMarker PageMarkers::Build() const {
    ValueMarker marker;
    marker.Column = ColumnBox()->currentText().toStdWString();
    marker.IsWholeRow = m_wholeRow->isChecked() ? 1 : 0;
    marker.ConditionColumn = m_conditionColumn->currentText().toStdWString();
    marker.ConditionOperation = m_operation->currentIndex() < 0 ? std::wstring() : m_operation->currentText().toStdWString();
    marker.ConditionOperand = m_operand->text().toStdWString();
    ParseOperation(marker);
    marker.style = ReadStyle();
    return marker;
}

void PageMarkers::ShowWholeRow() {
    const bool whole = m_wholeRow->isChecked();
    m_columnLabel->setVisible(!whole);
    ColumnBox()->setVisible(!whole);
    LoadColumnsButton()->setVisible(!whole);
}

void PageMarkers::ShowRule(const CtwDoc& project, int position) {
    const ValueMarker& marker = project.m_markers[static_cast<size_t>(position)];
    SelectText(ColumnBox(), QString::fromStdWString(marker.Column));
    m_wholeRow->setChecked(marker.IsWholeRow != 0);
    ShowWholeRow();
    SelectText(m_conditionColumn, QString::fromStdWString(marker.ConditionColumn));
    if (marker.ConditionOperation.empty()) {
        m_operation->setCurrentIndex(-1);
    } else {
        SelectText(m_operation, QString::fromStdWString(marker.ConditionOperation));
    }
    m_operand->setText(QString::fromStdWString(marker.ConditionOperand));
    ShowStyle(marker.style);
}

void PageMarkers::AddRule(CtwDoc& project) {
    ValueMarker marker = Build();
    if (marker.IsWholeRow == 0 && marker.Column.empty()) {
        Host().MessageBox(L"Please select or enter name of the column to be added.", L"Add", MessageIcon::Error);
        return;
    }
    if (marker.IsWholeRow != 0) {
        marker.Column.clear();
    } else if (RefuseDuplicate(marker.Column, rule_edit::ExistingMarkerFor(project, marker.Column))) {
        return;
    }
    project.AddMarker(marker);
    AppendRow(RowTexts(marker));
}

void PageMarkers::SaveRule(CtwDoc& project, int position) {
    // A whole-row marker keeps whatever the hidden column box shows, as adding it did not.
    const ValueMarker marker = Build();
    SetRowTexts(position, RowTexts(marker));
    rule_edit::SaveMarker(project, position, marker);
    if (position < RuleCount(project)) ShowRule(project, position);
}

void PageMarkers::RemoveRule(CtwDoc& project, int position) { project.RemoveMarker(static_cast<size_t>(position)); }
