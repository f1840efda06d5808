#include "sql_library.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include "sql_editor.h"

SqlLibrary::SqlLibrary(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("SQL Library"));
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(this);
    m_model = new QFileSystemModel(this);
    m_model->setNameFilters({QStringLiteral("*.sql"), QStringLiteral("*.SQL")});
    m_model->setNameFilterDisables(false);
    m_model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    m_tree = new QTreeView(splitter);
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column) m_tree->hideColumn(column);
    m_tree->header()->hide();
    m_preview = new QPlainTextEdit(splitter);
    m_preview->setReadOnly(true);
    m_preview->setFont(QFont(QStringLiteral("Courier New")));
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* modes = new QHBoxLayout;
    m_modes = new QButtonGroup(this);
    const QString labels[] = {tr("&Insert at the caret"), tr("&Replace the script"), tr("A&ppend to the script")};
    for (int mode = 0; mode < 3; ++mode) {
        auto* button = new QRadioButton(labels[mode], this);
        m_modes->addButton(button, mode);
        modes->addWidget(button);
    }
    m_modes->button(0)->setChecked(true);
    modes->addStretch(1);
    layout->addLayout(modes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { ShowPreview(); });
    connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!m_model->isDir(index)) accept();
    });
    resize(640, 420);
}

void SqlLibrary::SetRootPath(const QString& folder) {
    m_root = folder;
    m_tree->setRootIndex(m_model->setRootPath(folder));
    m_preview->clear();
}

QString SqlLibrary::ChosenPath() const {
    const QModelIndex index = m_tree->currentIndex();
    if (!index.isValid() || m_model->isDir(index)) return {};
    return m_model->filePath(index);
}

pages::Placement SqlLibrary::ChosenMode() const { return static_cast<pages::Placement>(m_modes->checkedId()); }

void SqlLibrary::Choose(const QString& path, pages::Placement mode) {
    m_tree->setCurrentIndex(m_model->index(path));
    m_modes->button(static_cast<int>(mode))->setChecked(true);
}

void SqlLibrary::showEvent(QShowEvent* event) {
    if (m_corner.x() >= 0) move(m_corner);
    QDialog::showEvent(event);
}

void SqlLibrary::ShowPreview() {
    QString text;
    const QString path = ChosenPath();
    if (!path.isEmpty() && ReadSqlFile(path, text)) {
        m_preview->setPlainText(text);
    } else {
        m_preview->clear();
    }
}
