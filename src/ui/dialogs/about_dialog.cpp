#include "about_dialog.h"

#include <Qsci/qsciglobal.h>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "client_versions.h"
#include "icons.h"
#include "log.h"

namespace {

struct Library {
    QString name, version, licence;
};

std::vector<Library> LibraryList() {
    std::vector<Library> libraries = {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL 3")},
        {QStringLiteral("Qt WebEngine (Chromium)"), QString(), QStringLiteral("LGPL 3; Chromium: BSD")},
        {QStringLiteral("QScintilla"), QStringLiteral(QSCINTILLA_VERSION_STR), QStringLiteral("GPL 3")},
    };
    for (const tw::db::ClientLibrary& library : tw::db::ClientLibraries()) {
        libraries.push_back({QString::fromStdWString(library.name), QString::fromStdWString(library.version),
                             QString::fromStdWString(library.licence)});
    }
    // The report writers' libraries; their versions are those of the system's packages.
    for (const auto& [name, licence] : {std::pair{"toml++", "MIT"}, std::pair{"cairo", "LGPL 2.1 or MPL 1.1"},
                                        std::pair{"Pango", "LGPL 2"}, std::pair{"fontconfig", "MIT"},
                                        std::pair{"ISA-L (igzip)", "BSD 3-Clause"}}) {
        libraries.push_back({QString::fromLatin1(name), QString(), QString::fromLatin1(licence)});
    }
    return libraries;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Velmor Tablewright"));
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(64, 64));
    head->addWidget(icon, 0, Qt::AlignTop);
    auto* title = new QLabel(tr("<h2>Velmor Tablewright</h2><p>Version %1</p><p>SQL query results as documents: "
                                "HTML, XML, text, RTF, Excel (.xls and .xlsx), CHM and PDF.</p>")
                                 .arg(QString::fromStdWString(CLog::VersionStr(0)).toHtmlEscaped()),
                             this);
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    head->addWidget(title, 1);
    layout->addLayout(head);
    layout->addWidget(new QLabel(tr("Libraries used:"), this));
    const std::vector<Library> libraries = LibraryList();
    m_libraries = new QTableWidget(static_cast<int>(libraries.size()), 3, this);
    m_libraries->setHorizontalHeaderLabels({tr("Library"), tr("Version"), tr("Licence")});
    m_libraries->verticalHeader()->hide();
    m_libraries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_libraries->setSelectionMode(QAbstractItemView::NoSelection);
    for (int row = 0; row < static_cast<int>(libraries.size()); ++row) {
        const Library& library = libraries[static_cast<size_t>(row)];
        m_libraries->setItem(row, 0, new QTableWidgetItem(library.name));
        m_libraries->setItem(row, 1, new QTableWidgetItem(library.version));
        m_libraries->setItem(row, 2, new QTableWidgetItem(library.licence));
    }
    m_libraries->resizeColumnsToContents();
    m_libraries->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_libraries, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(540, 640);
}
