#include "file_name_field.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

#include "project_page.h"

FileNameField::FileNameField(Mode mode, QWidget* parent) : QWidget(parent), m_mode(mode) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_edit = new QLineEdit(this);
    SetFieldKind(m_edit, FieldKind::FileName);
    m_browse = new QToolButton(this);
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(tr("Browse"));
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_browse);
    setFocusProxy(m_edit);
    connect(m_edit, &QLineEdit::textEdited, this, &FileNameField::textEdited);
    connect(m_browse, &QToolButton::clicked, this, &FileNameField::Browse);
}

QString FileNameField::Text() const { return m_edit->text(); }

void FileNameField::SetText(const QString& text) {
    if (m_edit->text() != text) m_edit->setText(text);
}

void FileNameField::SetFilter(const QString& filter, const QString& defaultExtension) {
    m_filter = filter;
    m_defaultExtension = defaultExtension;
}

QString FileNameField::DialogFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList entries;
    for (qsizetype at = 0; at + 1 < parts.size(); at += 2) {
        entries << QStringLiteral("%1 (%2)").arg(parts[at], QString(parts[at + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

void FileNameField::Browse() {
    QFileDialog dialog(this);
    dialog.setNameFilters(DialogFilter(m_filter).split(QStringLiteral(";;")));
    if (!m_defaultExtension.isEmpty()) dialog.setDefaultSuffix(m_defaultExtension);
    const QFileInfo current(m_edit->text());
    if (!m_edit->text().isEmpty()) {
        dialog.setDirectory(current.absolutePath());
        dialog.selectFile(current.fileName());
    }
    if (m_mode == Mode::Open) {
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_edit->setText(dialog.selectedFiles().constFirst());
    emit textEdited(m_edit->text());
}
