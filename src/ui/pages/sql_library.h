#pragma once
// The SQL library: the .sql files under a root folder as a tree with a preview, and where the chosen script
// goes in the editor (at the caret, replacing the script, or appended).

#include <QDialog>
#include <QPoint>

#include "page_rules.h"

class QButtonGroup;
class QFileSystemModel;
class QPlainTextEdit;
class QTreeView;

class SqlLibrary : public QDialog {
    Q_OBJECT
  public:
    explicit SqlLibrary(QWidget* parent);

    // The window's top left corner goes to corner (screen coordinates) when it is shown.
    void SetCorner(const QPoint& corner) { m_corner = corner; }
    void SetRootPath(const QString& folder);
    QString RootPath() const { return m_root; }

    // The file chosen (empty when none) and how to place it.
    QString ChosenPath() const;
    pages::Placement ChosenMode() const;
    // Chooses path and mode as the user would (tests, and a second use of the window).
    void Choose(const QString& path, pages::Placement mode);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowPreview();

    QString m_root;
    QPoint m_corner{-1, -1};
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QPlainTextEdit* m_preview;
    QButtonGroup* m_modes;
};
