#include "page_converter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ctw_doc.h"
#include "host.h"
#include "rule_edit.h"

namespace {
// Width and precision take up to two digits: every format a report can use fits, and no text overflows an int.
QLineEdit* DigitsField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), field));
    field->setMaximumWidth(48);
    return field;
}
QString NumberText(int value) { return value == -1 ? QString() : QString::number(value); }
}  // namespace

PageConverter::PageConverter(CProjectView* view, QWidget* parent) : WhiteDialogWithProps(view, parent) {
    auto* right = new QWidget(this);
    auto* grid = new QGridLayout(right);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    m_prefix = new QLineEdit(right);
    m_suffix = new QLineEdit(right);
    grid->addWidget(new QLabel(tr("Prefix"), right), row, 0);
    grid->addWidget(m_prefix, row, 1);
    grid->addWidget(new QLabel(tr("Suffix"), right), row, 2);
    grid->addWidget(m_suffix, row, 3);
    ++row;

    grid->addWidget(new QLabel(tr("Number Format :"), right), row++, 0, 1, 4);
    auto* number = new QHBoxLayout;
    m_width = DigitsField(right);
    m_precision = DigitsField(right);
    m_group = new QCheckBox(tr("Group separator (integers only)"), right);
    number->addWidget(m_width);
    number->addWidget(new QLabel(QStringLiteral("."), right));
    number->addWidget(m_precision);
    number->addSpacing(12);
    number->addWidget(m_group);
    number->addStretch(1);
    grid->addLayout(number, row++, 0, 1, 4);

    grid->addWidget(new QLabel(tr("Date format conversion :"), right), row++, 0, 1, 4);
    m_dateFrom = new QLineEdit(right);
    m_dateTo = new QLineEdit(right);
    grid->addWidget(new QLabel(tr("From"), right), row, 0);
    grid->addWidget(m_dateFrom, row, 1);
    grid->addWidget(new QLabel(tr("to"), right), row, 2);
    grid->addWidget(m_dateTo, row, 3);
    ++row;

    grid->addWidget(new QLabel(tr("Conversion by regular expression:"), right), row++, 0, 1, 4);
    m_regexFrom = new QLineEdit(right);
    m_regexTo = new QLineEdit(right);
    grid->addWidget(new QLabel(tr("From"), right), row, 0);
    grid->addWidget(m_regexFrom, row, 1);
    grid->addWidget(new QLabel(tr("to"), right), row, 2);
    grid->addWidget(m_regexTo, row, 3);
    ++row;
    m_regexMessage = new QLabel(right);
    m_regexMessage->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_regexMessage->setWordWrap(true);
    grid->addWidget(m_regexMessage, row++, 1, 1, 3);

    // The example: a value typed (or taken from the column box) and what this converter makes of it.
    auto* example = new QGroupBox(tr(" Example "), right);
    auto* exampleGrid = new QGridLayout(example);
    m_sample = new QLineEdit(example);
    m_sample->setPlaceholderText(tr("a value of the column"));
    m_sampleResult = new QLabel(example);
    m_sampleResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    exampleGrid->addWidget(new QLabel(tr("Value"), example), 0, 0);
    exampleGrid->addWidget(m_sample, 0, 1);
    exampleGrid->addWidget(new QLabel(tr("Result"), example), 1, 0);
    exampleGrid->addWidget(m_sampleResult, 1, 1);
    exampleGrid->setColumnStretch(1, 1);
    grid->addWidget(example, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    BuildFrame({tr("Converter")}, {170}, tr("Add a converter"), tr("Remove selected converter"),
               tr("Save the converter"), right);

    connect(m_regexFrom, &QLineEdit::textChanged, this, [this] {
        CheckRegex();
        UpdateExample();
    });
    for (QLineEdit* field : {m_prefix, m_suffix, m_width, m_precision, m_dateFrom, m_dateTo, m_regexTo, m_sample}) {
        connect(field, &QLineEdit::textChanged, this, &PageConverter::UpdateExample);
    }
    connect(m_group, &QCheckBox::toggled, this, &PageConverter::UpdateExample);
    UpdateExample();
}

QString PageConverter::RegexMessage() const { return m_regexMessage->text(); }
QString PageConverter::SampleResult() const { return m_sampleResult->text(); }

bool PageConverter::CheckRegex() {
    const std::wstring error = rule_edit::RegexError(m_regexFrom->text().toStdWString());
    m_regexMessage->setText(error.empty() ? QString() : tr("Invalid expression: %1").arg(QString::fromStdWString(error)));
    m_regexFrom->setStyleSheet(error.empty() ? QString() : QStringLiteral("background: #ffe0e0;"));
    return error.empty();
}

void PageConverter::UpdateExample() {
    if (m_sample->text().isEmpty()) {
        m_sampleResult->setText(QString());
        return;
    }
    if (!m_regexMessage->text().isEmpty()) {
        m_sampleResult->setText(tr("(the expression is invalid)"));
        return;
    }
    bool failed = false;
    // Typed samples are text; a number format applies to the numeric columns of a run and is tried as one here.
    const int type = m_width->text().isEmpty() && m_precision->text().isEmpty() && !m_group->isChecked() ? 0 : 2;
    const std::wstring out = rule_edit::SampleAfter(Build(), m_sample->text().toStdWString(), type, failed);
    m_sampleResult->setText(failed ? tr("(the conversion fails for this value)") : QString::fromStdWString(out));
}

void PageConverter::LoadFromProject(CtwDoc& project) {
    List()->clear();
    for (const Converter& converter : project.m_converters) AppendRow({QString::fromStdWString(converter.Column)});
}

int PageConverter::RuleCount(const CtwDoc& project) const { return static_cast<int>(project.m_converters.size()); }

Converter PageConverter::Build() const {
    Converter converter;
    converter.Column = ColumnBox()->currentText().toStdWString();
    converter.Prefix = m_prefix->text().toStdWString();
    converter.Suffix = m_suffix->text().toStdWString();
    converter.DateFrom = m_dateFrom->text().toStdWString();
    converter.DateTo = m_dateTo->text().toStdWString();
    converter.RegexFrom = m_regexFrom->text().toStdWString();
    converter.RegexTo = m_regexTo->text().toStdWString();
    // The validator lets only digits through, so a field either parses or is empty.
    if (!rule_edit::ParseFormatDigits(m_width->text().toStdWString(), converter.Digits)) converter.Digits = -1;
    if (!rule_edit::ParseFormatDigits(m_precision->text().toStdWString(), converter.Pres)) converter.Pres = -1;
    converter.Group = m_group->isChecked() ? 1 : 0;
    return converter;
}

void PageConverter::ShowRule(const CtwDoc& project, int position) {
    const Converter& converter = project.m_converters[static_cast<size_t>(position)];
    SelectText(ColumnBox(), QString::fromStdWString(converter.Column));
    m_prefix->setText(QString::fromStdWString(converter.Prefix));
    m_suffix->setText(QString::fromStdWString(converter.Suffix));
    m_dateFrom->setText(QString::fromStdWString(converter.DateFrom));
    m_dateTo->setText(QString::fromStdWString(converter.DateTo));
    m_regexFrom->setText(QString::fromStdWString(converter.RegexFrom));
    m_regexTo->setText(QString::fromStdWString(converter.RegexTo));
    m_width->setText(NumberText(converter.Digits));
    m_precision->setText(NumberText(converter.Pres));
    m_group->setChecked(converter.Group != 0);
}

void PageConverter::AddRule(CtwDoc& project) {
    if (!CheckRegex()) {
        Host().MessageBox(m_regexMessage->text().toStdWString(), L"Add", MessageIcon::Error);
        return;
    }
    const Converter converter = Build();
    if (RefuseDuplicate(converter.Column, rule_edit::ExistingConverterFor(project, converter.Column))) return;
    project.AddConverter(converter);
    AppendRow({QString::fromStdWString(converter.Column)});
}

void PageConverter::SaveRule(CtwDoc& project, int position) {
    // An invalid expression would fail every value of the column in the next run: it is refused here instead.
    if (!CheckRegex()) {
        Host().MessageBox(m_regexMessage->text().toStdWString(), L"Save Property", MessageIcon::Error);
        return;
    }
    const Converter converter = Build();
    rule_edit::SaveConverter(project, position, converter);
    SetRowTexts(position, {QString::fromStdWString(converter.Column)});
}

void PageConverter::RemoveRule(CtwDoc& project, int position) {
    project.RemoveConverter(static_cast<size_t>(position));
}
