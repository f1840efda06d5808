#include "settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dialog_help.h"
#include "host.h"
#include "settings.h"

namespace {

// Texts typed in the program's editors keep carriage return and line feed; the edit control shows line feeds.
QString ForEdit(const std::wstring& text) {
    return QString::fromStdWString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
std::wstring FromEdit(const QString& text) {
    QString stored = text;
    return stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\n'), QStringLiteral("\r\n"))
        .toStdWString();
}

QPlainTextEdit* MultiLineEdit(QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 3 + 12);
    return edit;
}

}  // namespace

CSettings::CSettings(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Product Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The program uses default title, header and footer for new projects :"), this));

    auto* form = new QFormLayout;
    m_title = new QLineEdit(this);
    m_header = MultiLineEdit(this);
    m_footer = MultiLineEdit(this);
    form->addRow(tr("Default project &title"), m_title);
    form->addRow(tr("Default project &header"), m_header);
    form->addRow(tr("Default project &footer"), m_footer);
    layout->addLayout(form);

    m_useForEmpty = new QCheckBox(tr("&Use defaults instead of empty title, heade and footer"), this);
    m_commonHF = new QCheckBox(tr("&Single header and footer. One per result set by default"), this);
    m_hasHTML = new QCheckBox(tr("Title, header and footer han contain HTM&L code"), this);
    layout->addWidget(m_useForEmpty);
    layout->addWidget(m_commonHF);
    layout->addWidget(m_hasHTML);

    auto* lower = new QFormLayout;
    m_editor = new QLineEdit(this);
    auto* browse = new QPushButton(tr("..."), this);
    browse->setToolTip(tr("Choose the program"));
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    connect(browse, &QPushButton::clicked, this, &CSettings::BrowseEditor);
    auto* editorRow = new QHBoxLayout;
    editorRow->addWidget(m_editor, 1);
    editorRow->addWidget(browse);
    auto* editorLabel = new QLabel(tr("E&xternal script editor"), this);
    editorLabel->setBuddy(m_editor);
    lower->addRow(editorLabel, editorRow);
    m_separator = new QComboBox(this);
    m_separator->addItems({tr("tab"), tr("comma")});
    lower->addRow(tr("Text report se&parator"), m_separator);
    m_date = new QLineEdit(this);
    m_time = new QLineEdit(this);
    lower->addRow(tr("$&DATE$ macro format"), m_date);
    lower->addRow(tr("$T&IME$ macro format"), m_time);
    layout->addLayout(lower);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    save->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    InstallHelpKey(this, QStringLiteral("settings.html"));
    Load();
    resize(sizeHint().expandedTo(QSize(560, 0)));
}

void CSettings::Load() {
    const _Settings& store = Settings();
    m_commonHF->setChecked(store.getInt(L"CommonHF") != 0);
    m_useForEmpty->setChecked(store.getInt(L"UseForEmpty") != 0);
    m_hasHTML->setChecked(store.getInt(L"HasHTML") != 0);
    m_title->setText(QString::fromStdWString(store.getStr(L"DefTitle")));
    m_header->setPlainText(ForEdit(store.getStr(L"DefHeader")));
    m_footer->setPlainText(ForEdit(store.getStr(L"DefFooter")));
    m_date->setText(QString::fromStdWString(store.getStr(L"DateMFormat")));
    m_time->setText(QString::fromStdWString(store.getStr(L"TimeMFormat")));
    m_editor->setText(QString::fromStdWString(store.getStr(L"SQLeditor")));
    // Only a tab is "tab"; any other separator, even one put there by hand, shows (and is saved) as a comma.
    m_separator->setCurrentIndex(store.getStr(L"TxtSeparator") == L"\t" ? 0 : 1);
}

void CSettings::accept() {
    _Settings& store = Settings();
    store.setInt(L"CommonHF", m_commonHF->isChecked() ? 1 : 0);
    store.setInt(L"UseForEmpty", m_useForEmpty->isChecked() ? 1 : 0);
    store.setInt(L"HasHTML", m_hasHTML->isChecked() ? 1 : 0);
    store.setStr(L"DefTitle", m_title->text().toStdWString());
    store.setStr(L"DefHeader", FromEdit(m_header->toPlainText()));
    store.setStr(L"DefFooter", FromEdit(m_footer->toPlainText()));
    store.setStr(L"DateMFormat", m_date->text().toStdWString());
    store.setStr(L"TimeMFormat", m_time->text().toStdWString());
    store.setStr(L"SQLeditor", m_editor->text().toStdWString());
    store.setStr(L"TxtSeparator", m_separator->currentIndex() == 0 ? L"\t" : L",");
    if (!store.SaveData()) {
        const QString text = tr("The settings could not be written to %1; they hold until the program ends.")
                                 .arg(QString::fromStdString(_Settings::FilePath()));
        Host().MessageBox(text.toStdWString(), L"Product Settings", MessageIcon::Error);
    }
    QDialog::accept();
}

void CSettings::BrowseEditor() {
    // Programs on Linux carry no extension, so the chooser lists every file.
    const QString file = QFileDialog::getOpenFileName(this, tr("External script editor"), m_editor->text(),
                                                      tr("Programs (*)"));
    if (!file.isEmpty()) m_editor->setText(file);
}
