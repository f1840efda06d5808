#include "page_properties.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ctw_doc.h"
#include "host.h"
#include "rule_edit.h"

PageProperties::PageProperties(CProjectView* view, QWidget* parent) : WhiteDialogWithProps(view, parent) {
    auto* right = new QWidget(this);
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    m_exclude = new QCheckBox(tr("Exclude column from the report"), right);
    connect(m_exclude, &QCheckBox::clicked, this, &PageProperties::ShowExclude);
    column->addWidget(m_exclude);
    m_styleGroup = BuildStyleGroup(tr(" Properties "));
    column->addWidget(m_styleGroup);
    column->addStretch(1);
    BuildFrame({tr("Column")}, {170}, tr("Add a column property"), tr("Remove selected column property"),
               tr("Save the column property"), right);
}

void PageProperties::LoadFromProject(CtwDoc& project) {
    List()->clear();
    for (const ColumnProperty& property : project.m_columnProperties) {
        AppendRow({QString::fromStdWString(property.ColumnName)});
    }
}

int PageProperties::RuleCount(const CtwDoc& project) const {
    return static_cast<int>(project.m_columnProperties.size());
}

ColumnProperty PageProperties::Build() const {
    ColumnProperty property;
    property.ColumnName = ColumnBox()->currentText().toStdWString();
    property.IsHide = m_exclude->isChecked();
    property.style = ReadStyle();
    return property;
}

void PageProperties::ShowExclude() { m_styleGroup->setVisible(!m_exclude->isChecked()); }

void PageProperties::ShowRule(const CtwDoc& project, int position) {
    const ColumnProperty& property = project.m_columnProperties[static_cast<size_t>(position)];
    SelectText(ColumnBox(), QString::fromStdWString(property.ColumnName));
    m_exclude->setChecked(property.IsHide);
    ShowStyle(property.style);
    ShowExclude();
}

void PageProperties::AddRule(CtwDoc& project) {
    const ColumnProperty property = Build();
    if (property.ColumnName.empty()) {
        Host().MessageBox(L"Please select or enter name of the column to be added.", L"Add", MessageIcon::Error);
        return;
    }
    if (RefuseDuplicate(property.ColumnName, rule_edit::ExistingPropertyFor(project, property.ColumnName))) return;
    project.AddColumnProperty(property);
    AppendRow({QString::fromStdWString(property.ColumnName)});
}

void PageProperties::SaveRule(CtwDoc& project, int position) {
    const ColumnProperty property = Build();
    SetRowTexts(position, {QString::fromStdWString(property.ColumnName)});
    rule_edit::SaveProperty(project, position, property);
    ShowStyle(property.style);
}

void PageProperties::RemoveRule(CtwDoc& project, int position) {
    project.RemoveColumnProperty(static_cast<size_t>(position));
}
