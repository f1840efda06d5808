#include "page_output.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ctw_doc.h"
#include "file_name_field.h"
#include "page_rules.h"

namespace {
QComboBox* NewHistoryList(QWidget* parent, const QStringList& presets) {
    auto* list = new QComboBox(parent);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::InsertAtTop);
    list->addItems(presets);
    return list;
}
}  // namespace

void SetActiveOrAdd(QComboBox* list, const QString& text) {
    int at = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at < 0) {
        list->addItem(text);
        at = list->count() - 1;
    }
    list->setCurrentIndex(at);
    list->setEditText(text);
}

PageOutput::PageOutput(CProjectView* view, QWidget* parent) : ProjectPage(view, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_format = new QComboBox(this);
    for (const pages::OutputFormatInfo& info : pages::OutputFormats()) {
        m_format->addItem(QString::fromWCharArray(info.label.data(), static_cast<qsizetype>(info.label.size())));
    }
    m_format->setToolTip(tr("The format of the report"));
    m_file = new FileNameField(FileNameField::Mode::Save, this);
    m_file->setToolTip(tr("The file the report is written to"));
    m_language = NewHistoryList(this, {"en", "it", "de", "ru", "ja", "pt", "sk", "tr"});
    m_language->setToolTip(tr("The language of the HTML document"));
    m_charset = NewHistoryList(this, {"iso-8859-1", "windows-1251", "windows-874", "windows-1252", "windows-1250",
                                      "windows-1253", "windows-1254", "windows-1255", "windows-1256",
                                      "windows-1257", "windows-1258"});
    m_charset->setToolTip(tr("The character set the HTML document declares"));
    m_landscape = new QCheckBox(this);
    m_landscape->setToolTip(tr("Lay the pages out in landscape orientation"));

    auto* formatLabel = new QLabel(tr("Report &format"), this);
    auto* fileLabel = new QLabel(tr("&Output file"), this);
    m_languageLabel = new QLabel(tr("&Language"), this);
    m_charsetLabel = new QLabel(tr("C&harset"), this);
    m_landscapeLabel = new QLabel(tr("L&andscape"), this);
    formatLabel->setBuddy(m_format);
    fileLabel->setBuddy(m_file);
    m_languageLabel->setBuddy(m_language);
    m_charsetLabel->setBuddy(m_charset);
    m_landscapeLabel->setBuddy(m_landscape);
    form->addRow(formatLabel, m_format);
    form->addRow(fileLabel, m_file);
    form->addRow(m_languageLabel, m_language);
    form->addRow(m_charsetLabel, m_charset);
    form->addRow(m_landscapeLabel, m_landscape);
    outer->addLayout(form);
    outer->addStretch(1);

    // Built with nothing selected yet: the extension and filter of HTML.
    m_format->setCurrentIndex(-1);
    SetExtension();
    connect(m_format, &QComboBox::activated, this, [this] { FormatPicked(); });
}

void PageOutput::SetExtension() {
    const pages::OutputFormatInfo& info = pages::FormatAt(m_format->currentIndex());
    const std::wstring file = m_file->Text().toStdWString();
    m_file->SetText(QString::fromStdWString(pages::WithExtension(file, info.extension)));
    const QString extension = QString::fromWCharArray(info.extension.data(), 3);
    m_file->SetFilter(QString::fromWCharArray(info.filter.data(), static_cast<qsizetype>(info.filter.size())) +
                          QStringLiteral("|All Files|*.*||"),
                      extension);
}

void PageOutput::ShowControlsFor(int format) {
    const pages::OutputFormatInfo& info = pages::FormatInfo(format);
    for (QWidget* control : {static_cast<QWidget*>(m_languageLabel), static_cast<QWidget*>(m_language),
                             static_cast<QWidget*>(m_charsetLabel), static_cast<QWidget*>(m_charset)}) {
        control->setVisible(info.showsLanguage);
    }
    m_landscapeLabel->setVisible(info.showsLandscape);
    m_landscape->setVisible(info.showsLandscape);
}

void PageOutput::FormatPicked() {
    CtwDoc* project = Project();
    if (project == nullptr) return;
    if (pages::FormatAt(m_format->currentIndex()).format == project->Format) return;
    SetExtension();
    Store();
    ShowControlsFor(project->Format);
}

void PageOutput::LoadFromProject(CtwDoc& project) {
    // The output file is shown as it is: loading never changes its extension.
    m_format->setCurrentIndex(pages::FormatPosition(project.Format));
    m_file->SetText(QString::fromStdWString(project.ReportFile));
    SetActiveOrAdd(m_language, QString::fromStdWString(project.Language));
    SetActiveOrAdd(m_charset, QString::fromStdWString(project.Encoding));
    m_landscape->setChecked(project.IsLandscape != 0);
    ShowControlsFor(project.Format);
}

void PageOutput::SaveToProject(CtwDoc& project) {
    project.SetReportFile(m_file->Text().toStdWString());
    project.SetLanguage(m_language->currentText().toStdWString());
    project.SetEncoding(m_charset->currentText().toStdWString());
    project.SetFormat(pages::FormatAt(m_format->currentIndex()).format);
    project.SetLandscape(m_landscape->isChecked() ? 1 : 0);
}
