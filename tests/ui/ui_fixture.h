#pragma once
// Shared by the window tests: a host that records instead of showing, stand-in pages, and a main frame.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <memory>

#include "../support/test_folder.h"
#include "child_frame.h"
#include "ctw_doc.h"
#include "main_frame.h"
#include "project_page.h"
#include "project_view.h"
#include "qt_host.h"
#include "run_controller.h"
#include "settings.h"

// Records message boxes as "Caption: text", files opened and questions asked; answers with m_answer.
class RecordingHost : public QtHost {
  public:
    QMessageBox::StandardButton Ask(const QString& text, const QString& caption, QMessageBox::StandardButtons,
                                    QMessageBox::Icon) override {
        questions << caption + QStringLiteral(": ") + text;
        return answer;
    }
    QStringList boxes, opened, questions;
    QMessageBox::StandardButton answer = QMessageBox::No;

  protected:
    void ShowBox(const QString& text, const QString& caption, MessageIcon) override {
        boxes << caption + QStringLiteral(": ") + text;
    }
    void OpenLocalFile(const QString& path) override { opened << path; }
};

RecordingHost& TestHost();

// A page with one field of each kind; it records every load and store with its index ("load 3", "save 3").
class StandInPage : public ProjectPage {
  public:
    StandInPage(CProjectView* view, int index, QStringList& log) : ProjectPage(view), m_index(index), m_log(log) {
        auto* layout = new QVBoxLayout(this);
        plain = new QLineEdit(this);
        file = new QLineEdit(this);
        SetFieldKind(file, FieldKind::FileName);
        multi = new QPlainTextEdit(this);
        sql = new QPlainTextEdit(this);
        SetFieldKind(sql, FieldKind::SqlEditor);
        for (QWidget* field : {static_cast<QWidget*>(plain), static_cast<QWidget*>(file),
                               static_cast<QWidget*>(multi), static_cast<QWidget*>(sql)}) {
            layout->addWidget(field);
        }
    }
    void LoadFromProject(CtwDoc&) override { m_log << QStringLiteral("load %1").arg(m_index); }
    void SaveToProject(CtwDoc& project) override {
        m_log << QStringLiteral("save %1").arg(m_index);
        // The Query page's script field stands for any value typed but not yet stored.
        if (m_index == 0 && !plain->text().isEmpty()) project.SetScriptText(plain->text().toStdWString());
    }

    QLineEdit* plain;
    QLineEdit* file;
    QPlainTextEdit* multi;
    QPlainTextEdit* sql;

  private:
    int m_index;
    QStringList& m_log;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Processes events until no run is going on and queued work is done.
    static void Settle();
    // Processes events until condition holds or timeoutMs have passed; whether it holds.
    template <class Condition>
    static bool WaitFor(Condition condition, int timeoutMs = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < timeoutMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }
    // A project file in the test folder for the SQLite database there; reportFile may be empty.
    std::wstring WriteProject(const std::string& name, const std::string& script, const std::string& reportFile,
                              int open = 0);
    StandInPage* Page(CChildFrame* child, int index) const;
    // Opens a project written by WriteProject and waits until its database is connected.
    CChildFrame* Open(const std::string& name, const std::string& script, const std::string& reportFile,
                      int open = 0);

    TestFolder m_folder;
    QStringList m_pageLog;
    std::unique_ptr<CMainFrame> m_frame;
};
