#include "white_dialog_with_props.h"

#include <algorithm>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "column_names.h"
#include "ctw_doc.h"
#include "host.h"
#include "project_view.h"
#include "qt_host.h"
#include "rule_edit.h"
#include "run_controller.h"

struct WhiteDialogWithProps::LoadOutcome {
    ColumnNamesResult result;
    bool stopped = false;
};

namespace {

const char* const kColors[] = {"Default", "blue",      "cyan",    "darkgrey", "green", "grey",
                               "lightgrey", "magenta", "red",     "white",    "yellow"};

QToolButton* ImageButton(QWidget* parent, const char* themeIcon, const QString& fallback, const QString& tip) {
    auto* button = new QToolButton(parent);
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeIcon));
    if (icon.isNull()) {
        button->setText(fallback);
    } else {
        button->setIcon(icon);
    }
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

// The colour a style text names for the swatch; invalid for "Default", empty or an unknown name.
QColor SwatchColor(const QString& text) {
    if (text.isEmpty() || text.compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0) return {};
    if (text.compare(QLatin1String("darkgrey"), Qt::CaseInsensitive) == 0) return QColor(QStringLiteral("darkgray"));
    if (text.compare(QLatin1String("lightgrey"), Qt::CaseInsensitive) == 0) {
        return QColor(QStringLiteral("lightgray"));
    }
    return QColor::fromString(text);
}

}  // namespace

WhiteDialogWithProps::WhiteDialogWithProps(CProjectView* view, QWidget* parent) : ProjectPage(view, parent) {
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    ShowGridLines(m_list);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &WhiteDialogWithProps::OnSelectionChanged);

    m_add = ImageButton(this, "list-add", QStringLiteral("+"), QString());
    m_remove = ImageButton(this, "list-remove", QStringLiteral("\u2212"), QString());
    m_save = ImageButton(this, "document-save", QStringLiteral("Save"), QString());
    m_loadColumns = ImageButton(this, "view-refresh", QStringLiteral("\u21bb"), tr("Load column list from the query"));
    connect(m_add, &QToolButton::clicked, this, &WhiteDialogWithProps::OnAdd);
    connect(m_remove, &QToolButton::clicked, this, &WhiteDialogWithProps::OnRemove);
    connect(m_save, &QToolButton::clicked, this, &WhiteDialogWithProps::OnSave);
    connect(m_loadColumns, &QToolButton::clicked, this, &WhiteDialogWithProps::LoadColumns);

    m_column = new QComboBox(this);
    m_column->setEditable(true);
    m_column->setInsertPolicy(QComboBox::NoInsert);
    m_column->setMinimumWidth(160);
    m_columnLabel = new QLabel(tr("Column"), this);

    // The style controls exist on every rule page; the pages that show them put them into their group.
    m_fontColor = new QComboBox(this);
    m_background = new QComboBox(this);
    for (QComboBox* box : {m_fontColor, m_background}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        for (const char* color : kColors) box->addItem(QString::fromLatin1(color));
        box->setCurrentIndex(0);
        box->hide();
    }
    m_fontSize = new QComboBox(this);
    m_fontSize->addItems({QStringLiteral("-2"), QStringLiteral("-1"), QStringLiteral("Default"), QStringLiteral("+1"),
                          QStringLiteral("+2")});
    m_fontSize->setCurrentIndex(2);
    m_align = new QComboBox(this);
    m_align->addItems({QStringLiteral("Left"), QStringLiteral("Right"), QStringLiteral("Center")});
    m_align->setCurrentIndex(0);
    m_bold = new QCheckBox(tr("Bold"), this);
    m_italic = new QCheckBox(tr("Italic"), this);
    m_cssClass = new QLineEdit(this);
    for (QWidget* control : std::initializer_list<QWidget*>{m_fontSize, m_align, m_bold, m_italic, m_cssClass}) {
        control->hide();
    }
}

WhiteDialogWithProps::~WhiteDialogWithProps() {
    // The thread reads the project's connection: it must end before the page (and the window) goes.
    if (m_loader != nullptr) {
        StopLoadingColumns();
        m_loader->wait();
    }
}

void WhiteDialogWithProps::BuildFrame(const QStringList& listColumns, const QList<int>& widths, const QString& addTip,
                                      const QString& removeTip, const QString& saveTip, QWidget* right) {
    m_list->setHeaderLabels(listColumns);
    m_list->header()->setSectionsClickable(false);
    for (int column = 0; column < widths.size(); ++column) m_list->setColumnWidth(column, widths[column]);
    m_add->setToolTip(addTip);
    m_remove->setToolTip(removeTip);
    m_save->setToolTip(saveTip);

    auto* left = new QVBoxLayout;
    left->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_save);
    buttons->addStretch(1);
    left->addLayout(buttons);

    auto* columnRow = new QHBoxLayout;
    columnRow->addWidget(m_columnLabel);
    columnRow->addWidget(m_column, 1);
    columnRow->addWidget(m_loadColumns);
    // A short upper pane scrolls the page's own controls instead of squeezing them below their size.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::Base);
    right->setBackgroundRole(QPalette::Base);
    scroll->setWidget(right);
    auto* rightColumn = new QVBoxLayout;
    rightColumn->addLayout(columnRow);
    rightColumn->addWidget(scroll, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(left, 2);
    layout->addLayout(rightColumn, 3);
}

QWidget* WhiteDialogWithProps::ColorControl(QComboBox*& box) {
    auto* holder = new QWidget(this);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    auto* swatch = new QLabel(holder);
    swatch->setFixedSize(18, 18);
    swatch->setObjectName(QStringLiteral("swatch"));
    auto* pick = new QToolButton(holder);
    pick->setText(QStringLiteral("..."));
    pick->setToolTip(tr("Pick a colour"));
    box->setParent(holder);
    box->show();
    row->addWidget(box, 1);
    row->addWidget(swatch);
    row->addWidget(pick);
    QComboBox* target = box;
    auto paint = [swatch, target] {
        const QColor color = SwatchColor(target->currentText());
        // Unknown names and "Default" show an empty frame: the report leaves those to the reader.
        swatch->setStyleSheet(color.isValid() ? QStringLiteral("background: %1; border: 1px solid #808080;")
                                                    .arg(color.name())
                                              : QStringLiteral("border: 1px dashed #a0a0a0;"));
    };
    connect(box, &QComboBox::currentTextChanged, swatch, paint);
    paint();
    connect(pick, &QToolButton::clicked, this, [this, target] { PickColor(target); });
    return holder;
}

void WhiteDialogWithProps::PickColor(QComboBox* box) {
    QColor start = SwatchColor(box->currentText());
    const QColor chosen = QColorDialog::getColor(start.isValid() ? start : QColor(Qt::white), this);
    if (chosen.isValid()) SelectText(box, chosen.name(QColor::HexRgb).toUpper());
}

QGroupBox* WhiteDialogWithProps::BuildStyleGroup(const QString& title) {
    auto* group = new QGroupBox(title, this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* control) {
        grid->addWidget(new QLabel(label, group), row, 0);
        control->setParent(group);
        control->show();
        grid->addWidget(control, row, 1, 1, 2);
        ++row;
    };
    addRow(tr("Font Color"), ColorControl(m_fontColor));
    addRow(tr("Background"), ColorControl(m_background));
    addRow(tr("Alignment"), m_align);
    addRow(tr("Font Size"), m_fontSize);
    m_bold->setParent(group);
    m_italic->setParent(group);
    m_bold->show();
    m_italic->show();
    grid->addWidget(m_bold, row, 1);
    grid->addWidget(m_italic, row, 2);
    ++row;
    addRow(tr("CSS class"), m_cssClass);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    return group;
}

RuleStyle WhiteDialogWithProps::ReadStyle() const {
    RuleStyle style;
    style.Align = m_align->currentText().toStdWString();
    style.BackgroundColor = m_background->currentText().toStdWString();
    style.CSSClass = m_cssClass->text().toStdWString();
    style.FontColor = m_fontColor->currentText().toStdWString();
    style.FontSize = m_fontSize->currentIndex() - 2;
    style.IsBold = m_bold->isChecked() ? 1 : 0;
    style.IsItalic = m_italic->isChecked() ? 1 : 0;
    return style;
}

void WhiteDialogWithProps::ShowStyle(const RuleStyle& style) {
    m_align->setCurrentIndex(m_align->findText(QString::fromStdWString(style.Align)));
    SelectText(m_background, QString::fromStdWString(style.BackgroundColor));
    SelectText(m_fontColor, QString::fromStdWString(style.FontColor));
    m_fontSize->setCurrentIndex(std::clamp(style.FontSize, -2, 2) + 2);
    m_cssClass->setText(QString::fromStdWString(style.CSSClass));
    m_bold->setChecked(style.IsBold != 0);
    m_italic->setChecked(style.IsItalic != 0);
}

void WhiteDialogWithProps::SelectText(QComboBox* box, const QString& text) {
    int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
    if (box->isEditable()) box->setEditText(text);
}

void WhiteDialogWithProps::AppendRow(const QStringList& texts) { new QTreeWidgetItem(m_list, texts); }

void WhiteDialogWithProps::SetRowTexts(int row, const QStringList& texts) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (item == nullptr) return;
    for (int column = 0; column < texts.size(); ++column) item->setText(column, texts[column]);
}

bool WhiteDialogWithProps::RefuseDuplicate(const std::wstring& column, int position) {
    if (position < 0) return false;
    Host().MessageBox(rule_edit::AlreadyHasRuleText(column, position), L"Add", MessageIcon::Error);
    return true;
}

void WhiteDialogWithProps::Activate() {
    ProjectPage::Activate();
    CtwDoc* project = Project();
    if (project == nullptr) return;
    QStringList names;
    for (const std::wstring& name : project->m_resultColumns) names << QString::fromStdWString(name);
    // Before any run the list is empty; the boxes then keep what the load-columns button put there.
    if (!names.isEmpty()) FillColumnBoxes(names, false);
}

void WhiteDialogWithProps::SelectRow(int row) {
    if (row < 0 || row >= m_list->topLevelItemCount()) {
        m_list->clearSelection();
        m_list->setCurrentItem(nullptr);
        m_selected = -1;
        return;
    }
    {
        const QSignalBlocker quiet(m_list);
        m_list->clearSelection();
        m_list->setCurrentItem(m_list->topLevelItem(row));
        m_list->topLevelItem(row)->setSelected(true);
    }
    // Told once, also when the selection model had already moved there by itself (after a removal).
    OnSelectionChanged();
}

void WhiteDialogWithProps::OnSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        m_selected = -1;
        return;
    }
    m_selected = m_list->indexOfTopLevelItem(selected.first());
    CtwDoc* project = Project();
    if (project != nullptr && m_selected < RuleCount(*project)) ShowRule(*project, m_selected);
}

void WhiteDialogWithProps::OnAdd() {
    CtwDoc* project = Project();
    if (project == nullptr || !View()->CanStore()) return;
    AddRule(*project);
}

void WhiteDialogWithProps::OnSave() {
    CtwDoc* project = Project();
    if (project == nullptr || !View()->CanStore()) return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        Host().MessageBox(L"No item to update was selected.", L"Save Property", MessageIcon::Error);
        return;
    }
    SaveRule(*project, m_list->indexOfTopLevelItem(selected.first()));
}

void WhiteDialogWithProps::OnRemove() {
    CtwDoc* project = Project();
    if (project == nullptr || !View()->CanStore()) return;
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        Host().MessageBox(L"No item to delete was selected.", L"Remove Property", MessageIcon::Error);
        return;
    }
    const int row = m_list->indexOfTopLevelItem(selected.first());
    if (QtHost::Instance()->Ask(tr("Do you really wish to delete the selected item?"), tr("Remove"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes) {
        return;
    }
    RemoveRule(*project, row);
    {
        const QSignalBlocker quiet(m_list);
        delete m_list->takeTopLevelItem(row);
        m_selected = -1;
    }
    // The row that moved into the removed one's place is selected, so that removing twice goes on down the list.
    SelectRow(rule_edit::SelectionAfterRemove(row, m_list->topLevelItemCount()));
}

void WhiteDialogWithProps::LoadColumns() {
    CtwDoc* project = Project();
    CDB* connection = project != nullptr ? project->Connection() : nullptr;
    if (connection == nullptr || !connection->IsConnected()) {
        Host().MessageBox(L"There is no active database connection.", L"Column List", MessageIcon::Error);
        return;
    }
    if (m_loader != nullptr) return;
    // A report or preview run of this project holds its connection; the statement would run beside it.
    const RunController& runs = RunController::Instance();
    if (View()->IsRunning() || (runs.IsRunning() && runs.RunningProject() == project) || !View()->CanStore()) {
        emit RunController::Instance().busy(RunController::BusyText());
        return;
    }
    m_boxHadText = !m_column->currentText().isEmpty();
    m_column->clear();
    if (QComboBox* second = SecondColumnBox()) second->clear();

    const std::wstring script = project->GetScript();
    auto outcome = std::make_shared<LoadOutcome>();
    m_outcome = outcome;
    connection->ResetCancel();
    m_loader = QThread::create([connection, script, outcome] { outcome->result = ReadColumnNames(*connection, script); });
    m_loadColumns->setEnabled(false);
    if (View() != nullptr) View()->SetConnectionInUse(true);
    connect(m_loader, &QThread::finished, this, &WhiteDialogWithProps::OnLoaderFinished);
    connect(m_loader, &QThread::finished, m_loader, &QObject::deleteLater);
    m_loader->start();
}

void WhiteDialogWithProps::StopLoadingColumns() {
    if (m_loader == nullptr || m_outcome == nullptr) return;
    m_outcome->stopped = true;
    if (CtwDoc* project = Project(); project && project->Connection()) project->Connection()->CancelAll();
}

void WhiteDialogWithProps::OnLoaderFinished() {
    std::shared_ptr<LoadOutcome> outcome = std::move(m_outcome);
    m_loader = nullptr;
    m_loadColumns->setEnabled(true);
    if (View() != nullptr) View()->SetConnectionInUse(false);
    if (CtwDoc* project = Project(); project && project->Connection()) project->Connection()->ResetCancel();
    if (outcome == nullptr || outcome->stopped) {
        emit columnsLoaded(false);
        return;
    }
    if (!outcome->result.ok) {
        Host().MessageBox(outcome->result.error, L"Execution error", MessageIcon::Error);
        emit columnsLoaded(false);
        return;
    }
    QStringList names;
    for (const std::wstring& name : outcome->result.names) names << QString::fromStdWString(name);
    FillColumnBoxes(names, !m_boxHadText);
    emit columnsLoaded(true);
}

void WhiteDialogWithProps::FillColumnBoxes(const QStringList& names, bool selectFirst) {
    for (QComboBox* box : {m_column, SecondColumnBox()}) {
        if (box == nullptr) continue;
        const QString shown = box->currentText();
        box->clear();
        box->addItems(names);
        if (selectFirst) {
            box->setCurrentIndex(names.isEmpty() ? -1 : 0);
        } else {
            // Filling the list must not change the column of the rule being edited.
            box->setCurrentIndex(-1);
            box->setEditText(shown);
        }
    }
}
