#pragma once
// The connect dialog: the data-source type, its fields and the connection string kept in step both ways, a
// password for this session only, a Test that connects off the user-interface thread, and DoConnect.

#include <QDialog>
#include <memory>

#include "conn_fields.h"
#include "conn_info.h"

class ConnectAttempt;
class CtwDoc;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CAdvConnect : public QDialog {
    Q_OBJECT
  public:
    // How long the window waits for a connection before it gives up; the drivers' own limit is shorter.
    static constexpr int kWaitMs = 15000;

    explicit CAdvConnect(QWidget* parent = nullptr);
    ~CAdvConnect() override;

    // Shows a connection description (its password field is the session password, if any).
    void SetConnection(const CONN_INFO& info);
    // What the user chose: the connection string never holds a password; Password is the session password.
    CONN_INFO Connection() const;

    // Connects project as chosen: on success the project's connection is the new one; on failure the driver's
    // message is shown and the project keeps an unconnected connection with the chosen description. Waits (with
    // the window responsive) for at most kWaitMs. True when connected.
    bool DoConnect(CtwDoc& project);

    // Tries the chosen connection on a thread of its own; the outcome shows below the fields.
    void Test();
    bool IsTesting() const { return m_test != nullptr; }
    QString TestResult() const;

    QComboBox* TypeList() const { return m_type; }
    QLineEdit* FileEdit() const { return m_file; }
    QLineEdit* HostEdit() const { return m_host; }
    QLineEdit* PortEdit() const { return m_port; }
    QLineEdit* DatabaseEdit() const { return m_database; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLineEdit* OptionsEdit() const { return m_options; }
    QComboBox* DataSourceList() const { return m_dsn; }
    QComboBox* DriverList() const { return m_driver; }
    QLineEdit* StringEdit() const { return m_string; }
    QLabel* CredentialsNote() const { return m_note; }

  private:
    DS_TYPE Type() const;
    tw::db::ConnFields FieldsOfControls() const;
    void ShowFields(const tw::db::ConnFields& fields);
    void FieldsEdited();
    void StringEdited();
    void TypeChanged();
    void BrowseFile();
    void FillOdbcLists();

    QComboBox* m_type;
    QLineEdit* m_file;
    QPushButton* m_browse;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_options;
    QComboBox* m_dsn;
    QComboBox* m_driver;
    QLineEdit* m_string;
    QLabel* m_note;
    QLabel* m_testResult;
    QPushButton* m_testButton;
    std::vector<QWidget*> m_rows[4];  // the label and field widgets shown for each type
    QString m_baseFolder;
    bool m_updating = false;
    ConnectAttempt* m_test = nullptr;
};
