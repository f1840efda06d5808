#include "page_report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "ctw_doc.h"
#include "host.h"
#include "html_writer.h"
#include "page_rules.h"
#include "project_view.h"
#include "text_switch_page.h"

PageReport::PageReport(CProjectView* view, QWidget* parent) : ProjectPage(view, parent) {
    auto* layout = new QGridLayout(this);
    m_styleLabel = new QLabel(tr("Report &style "), this);
    m_style = new QComboBox(this);
    m_style->setToolTip(tr("The template of the HTML report"));
    m_styleLabel->setBuddy(m_style);
    // The styles are the templates installed beside the program, listed once.
    std::vector<std::wstring> styles;
    HtmlReport::GetTemplatesList((std::filesystem::path(DataDir()) / "tmpl").wstring(), styles);
    for (const std::wstring& style : styles) m_style->addItem(QString::fromStdWString(style));

    m_titleSwitch = new QCheckBox(tr("Add &title, paragraph size :"), this);
    m_titleSwitch->setToolTip(tr("Print the title at the top of the report"));
    m_size = NewParagraphSizeList(this);
    auto* note = new QLabel(tr("1- biggest, 6-smallest. &Class (html only) :"), this);
    m_class = new QLineEdit(this);
    m_class->setToolTip(tr("CSS class of the title (HTML only)"));
    note->setBuddy(m_class);
    m_title = new QPlainTextEdit(this);
    m_title->setTabChangesFocus(true);
    m_title->setToolTip(tr("Title text"));
    m_title->installEventFilter(this);
    m_summary = new QCheckBox(tr("Add s&ummary between title and header"), this);
    m_toc = new QCheckBox(tr("Add table of c&ontent after title"), this);
    m_open = new QCheckBox(tr("O&pen the report with associated program automatically"), this);

    layout->addWidget(m_styleLabel, 0, 0);
    layout->addWidget(m_style, 0, 1, 1, 3);
    layout->addWidget(m_titleSwitch, 1, 0);
    layout->addWidget(m_size, 1, 1);
    layout->addWidget(note, 1, 2);
    layout->addWidget(m_class, 1, 3);
    layout->addWidget(m_title, 2, 0, 1, 4);
    layout->addWidget(m_summary, 3, 0, 1, 4);
    layout->addWidget(m_toc, 4, 0, 1, 4);
    layout->addWidget(m_open, 5, 0, 1, 4);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(2, 1);

    // These are stored at once; "open" only by the full stores.
    connect(m_style, &QComboBox::activated, this, [this] { Store(); });
    connect(m_size, &QComboBox::activated, this, [this] { Store(); });
    for (QCheckBox* box : {m_titleSwitch, m_summary, m_toc}) connect(box, &QCheckBox::clicked, this, [this] { Store(); });
}

void PageReport::Activate() {
    show();
    CtwDoc* project = Project();
    if (project == nullptr) return;
    const bool styled = pages::FormatInfo(project->Format).showsStyle;
    m_styleLabel->setVisible(styled);
    m_style->setVisible(styled);
    LoadFromProject(*project);
}

void PageReport::LoadFromProject(CtwDoc& project) {
    const int style = m_style->findText(QString::fromStdWString(project.StyleNo), Qt::MatchExactly);
    if (style >= 0) m_style->setCurrentIndex(style);
    m_size->setCurrentIndex(std::clamp(project.TitleSize, 0, 6));
    const std::optional<std::wstring> title = project.TitleText();
    // Switched off: the field keeps what it showed, so ticking the switch brings that text back.
    if (title) m_title->setPlainText(QString::fromStdWString(*title));
    m_class->setText(QString::fromStdWString(project.TitleClass));
    m_titleSwitch->setChecked(title.has_value());
    m_summary->setChecked(project.Summary != 0);
    m_toc->setChecked(project.TOC != 0);
    m_open->setChecked(project.Open != 0);
}

void PageReport::SaveToProject(CtwDoc& project) {
    if (m_titleSwitch->isChecked()) {
        project.SetTitleText(m_title->toPlainText().toStdWString());
        project.SetTitleSize(m_size->currentIndex());
        project.SetTitleClass(m_class->text().toStdWString());
    } else {
        project.SetTitleText(std::nullopt);
    }
    // With no templates installed the list is empty: the project keeps its style rather than losing it.
    if (m_style->count() > 0) project.SetStyleNo(m_style->currentText().toStdWString());
    project.SetSummary(m_summary->isChecked() ? 1 : 0);
    project.SetTOC(m_toc->isChecked() ? 1 : 0);
    project.SetOpen(m_open->isChecked() ? 1 : 0);
}

bool PageReport::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the title field stores its text, which switches the title on until the next full store.
    if (watched == m_title && event->type() == QEvent::FocusOut) {
        if (CtwDoc* project = Project(); project && View()->CanStore()) {
            project->SetTitleText(m_title->toPlainText().toStdWString());
        }
    }
    return ProjectPage::eventFilter(watched, event);
}
