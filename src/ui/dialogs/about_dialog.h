#pragma once
// The About box: the program's name and version, and the libraries it uses with their licences.

#include <QDialog>

class QTableWidget;

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QTableWidget* Libraries() const { return m_libraries; }

  private:
    QTableWidget* m_libraries;
};
