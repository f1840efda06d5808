#include "adv_connect.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "cdb.h"
#include "conn_string.h"
#include "connect_attempt.h"
#include "ctw_doc.h"
#include "dialog_help.h"
#include "host.h"
#include "log.h"
#include "odbc_catalog.h"

namespace {

const char* const kTypeLabels[] = {"SQLite", "PostgreSQL", "MySQL/MariaDB", "ODBC"};

QString CredentialsText(DS_TYPE type) {
    switch (type) {
        case DS_POSTGRESQL:
            return QObject::tr("The password is used for this session only and is never saved. To connect "
                               "without typing it, keep it in ~/.pgpass (or PGPASSWORD).");
        case DS_MYSQL:
            return QObject::tr("The password is used for this session only and is never saved. To connect "
                               "without typing it, keep it in ~/.my.cnf under [client].");
        case DS_ODBC:
            return QObject::tr("The password is used for this session only and is never saved. To connect "
                               "without typing it, keep it with the data source in odbc.ini.");
        case DS_SQLITE: break;
    }
    return QObject::tr("A SQLite database is a file; relative paths count from the project file's folder.");
}

}  // namespace

CAdvConnect::CAdvConnect(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Connect to Database"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    m_type = new QComboBox(this);
    for (const char* label : kTypeLabels) m_type->addItem(QString::fromLatin1(label));
    form->addRow(tr("Database &type"), m_type);

    auto addRow = [&](const QString& label, QWidget* field, std::initializer_list<DS_TYPE> types) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(field);
        form->addRow(caption, field);
        for (DS_TYPE type : types) {
            m_rows[type].push_back(caption);
            m_rows[type].push_back(field);
        }
    };
    m_file = new QLineEdit(this);
    m_browse = new QPushButton(tr("&Browse..."), this);
    auto* fileRow = new QWidget(this);
    auto* fileLayout = new QHBoxLayout(fileRow);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(m_file, 1);
    fileLayout->addWidget(m_browse);
    addRow(tr("Database &file"), fileRow, {DS_SQLITE});

    m_dsn = new QComboBox(this);
    m_dsn->setEditable(true);
    m_driver = new QComboBox(this);
    m_driver->setEditable(true);
    addRow(tr("Data &source"), m_dsn, {DS_ODBC});
    addRow(tr("D&river"), m_driver, {DS_ODBC});
    m_host = new QLineEdit(this);
    m_port = new QLineEdit(this);
    m_database = new QLineEdit(this);
    m_user = new QLineEdit(this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_options = new QLineEdit(this);
    const auto servers = {DS_POSTGRESQL, DS_MYSQL, DS_ODBC};
    addRow(tr("&Host"), m_host, servers);
    addRow(tr("P&ort"), m_port, servers);
    addRow(tr("&Database"), m_database, servers);
    addRow(tr("&User"), m_user, servers);
    addRow(tr("Pass&word"), m_password, servers);
    addRow(tr("O&ptions"), m_options, servers);
    layout->addLayout(form);

    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    auto* stringRow = new QFormLayout;
    m_string = new QLineEdit(this);
    m_string->setPlaceholderText(tr("or paste a connection string here"));
    stringRow->addRow(tr("&Connection string"), m_string);
    layout->addLayout(stringRow);
    m_testResult = new QLabel(this);
    m_testResult->setWordWrap(true);
    m_testResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_testResult);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_testButton = buttons->addButton(tr("&Test"), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_testButton, &QPushButton::clicked, this, &CAdvConnect::Test);
    layout->addWidget(buttons);

    FillOdbcLists();
    for (QLineEdit* edit : {m_file, m_host, m_port, m_database, m_user, m_options})
        connect(edit, &QLineEdit::textEdited, this, &CAdvConnect::FieldsEdited);
    for (QComboBox* list : {m_dsn, m_driver})
        connect(list, &QComboBox::currentTextChanged, this, &CAdvConnect::FieldsEdited);
    connect(m_string, &QLineEdit::textEdited, this, &CAdvConnect::StringEdited);
    connect(m_type, &QComboBox::currentIndexChanged, this, &CAdvConnect::TypeChanged);
    connect(m_browse, &QPushButton::clicked, this, &CAdvConnect::BrowseFile);
    InstallHelpKey(this, QStringLiteral("connect.html"));
    TypeChanged();
    resize(QSize(520, sizeHint().height()));
}

CAdvConnect::~CAdvConnect() = default;

void CAdvConnect::FillOdbcLists() {
    m_dsn->addItem(QString());
    for (const tw::db::OdbcDataSource& source : tw::db::OdbcDataSources()) {
        m_dsn->addItem(QString::fromStdWString(source.name));
        m_dsn->setItemData(m_dsn->count() - 1, QString::fromStdWString(source.description), Qt::ToolTipRole);
    }
    m_driver->addItem(QString());
    for (const std::wstring& driver : tw::db::OdbcDrivers()) m_driver->addItem(QString::fromStdWString(driver));
}

DS_TYPE CAdvConnect::Type() const { return static_cast<DS_TYPE>(std::max(0, m_type->currentIndex())); }

tw::db::ConnFields CAdvConnect::FieldsOfControls() const {
    tw::db::ConnFields fields;
    if (Type() == DS_SQLITE) {
        fields.database = m_file->text().toStdWString();
        return fields;
    }
    fields.host = m_host->text().toStdWString();
    fields.port = m_port->text().toStdWString();
    fields.database = m_database->text().toStdWString();
    fields.user = m_user->text().toStdWString();
    fields.options = m_options->text().toStdWString();
    if (Type() == DS_ODBC) {
        fields.dsn = m_dsn->currentText().toStdWString();
        fields.driver = m_driver->currentText().toStdWString();
    }
    return fields;
}

void CAdvConnect::ShowFields(const tw::db::ConnFields& fields) {
    m_updating = true;
    if (Type() == DS_SQLITE) {
        m_file->setText(QString::fromStdWString(fields.database));
    } else {
        m_host->setText(QString::fromStdWString(fields.host));
        m_port->setText(QString::fromStdWString(fields.port));
        m_database->setText(QString::fromStdWString(fields.database));
        m_user->setText(QString::fromStdWString(fields.user));
        m_options->setText(QString::fromStdWString(fields.options));
        m_dsn->setCurrentText(QString::fromStdWString(fields.dsn));
        m_driver->setCurrentText(QString::fromStdWString(fields.driver));
        // A pasted password moves to the password field; the stored string will not hold it.
        if (!fields.password.empty()) m_password->setText(QString::fromStdWString(fields.password));
    }
    m_updating = false;
}

void CAdvConnect::FieldsEdited() {
    if (m_updating) return;
    m_updating = true;
    m_string->setText(QString::fromStdWString(tw::db::StringFromFields(Type(), FieldsOfControls())));
    m_updating = false;
}

void CAdvConnect::StringEdited() {
    if (m_updating) return;
    ShowFields(tw::db::FieldsFromString(Type(), m_string->text().toStdWString()));
}

void CAdvConnect::TypeChanged() {
    const DS_TYPE type = Type();
    for (int other = 0; other < 4; ++other)
        for (QWidget* widget : m_rows[other]) widget->setVisible(false);
    for (QWidget* widget : m_rows[type]) widget->setVisible(true);
    m_port->setPlaceholderText(type == DS_POSTGRESQL ? QStringLiteral("5432")
                               : type == DS_MYSQL    ? QStringLiteral("3306")
                                                     : QString());
    m_note->setText(CredentialsText(type));
    m_testResult->clear();
    FieldsEdited();
}

void CAdvConnect::BrowseFile() {
    QString start = m_file->text();
    if (start.isEmpty() || QDir::isRelativePath(start)) start = QDir(m_baseFolder).filePath(start);
    const QString file = QFileDialog::getOpenFileName(this, tr("SQLite database"), start,
                                                      tr("SQLite databases (*.sqlite *.sqlite3 *.db);;All files (*)"));
    if (file.isEmpty()) return;
    m_file->setText(QDir::toNativeSeparators(file));
    FieldsEdited();
}

void CAdvConnect::SetConnection(const CONN_INFO& info) {
    m_baseFolder = QString::fromStdWString(info.BaseFolder);
    m_updating = true;
    m_type->setCurrentIndex(static_cast<int>(info.Type));
    m_updating = false;
    TypeChanged();
    m_password->setText(QString::fromStdWString(info.Password));
    m_updating = true;
    m_string->setText(QString::fromStdWString(info.Connection));
    m_updating = false;
    ShowFields(tw::db::FieldsFromString(info.Type, info.Connection));
}

CONN_INFO CAdvConnect::Connection() const {
    CONN_INFO info;
    info.Type = Type();
    info.BaseFolder = m_baseFolder.toStdWString();
    bool removed = false;
    info.Connection = tw::db::WithoutPassword(info.Type, m_string->text().trimmed().toStdWString(), removed);
    if (info.Type != DS_SQLITE) info.Password = m_password->text().toStdWString();
    return info;
}

QString CAdvConnect::TestResult() const { return m_testResult->text(); }

void CAdvConnect::Test() {
    if (m_test != nullptr) return;
    const CONN_INFO info = Connection();
    if (info.IsEmpty()) {
        m_testResult->setText(tr("Choose a database first."));
        return;
    }
    m_testResult->setText(tr("Connecting..."));
    m_testButton->setEnabled(false);
    m_test = new ConnectAttempt(info, kWaitMs, this);
    connect(m_test, &ConnectAttempt::finished, this, [this](bool connected, const QString& message) {
        m_testResult->setText(connected ? tr("Connected successfully.") : tr("Connection failed: %1").arg(message));
        m_testButton->setEnabled(true);
        m_test->deleteLater();  // its connection, if any, is closed with it
        m_test = nullptr;
    });
}

bool CAdvConnect::DoConnect(CtwDoc& project) {
    CONN_INFO info = Connection();
    if (info.BaseFolder.empty()) info.BaseFolder = project.ProjectFolder();
    if (info.IsEmpty()) {
        // Nothing chosen: the project has no connection to use.
        project.SetConnection(nullptr);
        return false;
    }
    ConnectAttempt attempt(info, kWaitMs);
    QProgressDialog progress(tr("Connecting to %1...").arg(QString::fromStdWString(info.ConInfo())), tr("Cancel"), 0,
                             0, parentWidget());
    progress.setWindowTitle(tr("Connect to Database"));
    progress.setMinimumDuration(500);
    QEventLoop wait;
    bool connected = false;
    QString message;
    connect(&attempt, &ConnectAttempt::finished, &wait, [&](bool ok, const QString& text) {
        connected = ok;
        message = text;
        wait.quit();
    });
    connect(&progress, &QProgressDialog::canceled, &wait, [&] {
        message = tr("Connecting was cancelled.");
        wait.quit();
    });
    if (!attempt.IsFinished()) wait.exec();
    progress.reset();
    if (connected) {
        project.SetConnection(attempt.TakeConnection());
        return true;
    }
    // The chosen description stays with the project, so that it can be saved or tried again.
    std::unique_ptr<CDB> unconnected = CDB::newDB(info.Type);
    unconnected->m_ConInfo = info;
    unconnected->m_LastError = message.toStdWString();
    project.SetConnection(std::move(unconnected));
    CLog::Bug(L"ProjectView::Connect: the connection failed", info.ConInfo() + L": " + message.toStdWString());
    Host().MessageBox(tr("The connection failed:\n%1").arg(message).toStdWString(), L"Connect to Database",
                      MessageIcon::Error);
    return false;
}
