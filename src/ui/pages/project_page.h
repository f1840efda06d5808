#pragma once
// The base of the nine project pages: they move values between their controls and the project.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class QAbstractItemView;

class CProjectView;
class CtwDoc;

// What kind of text field a control is, for the macro menu: pages mark their controls with SetFieldKind.
enum class FieldKind {
    None,       // not a text-entry control
    PlainText,  // a single- or multi-line text field
    FileName,   // a file-name field with a browse button
    SqlEditor,  // the SQL editor: text entry, but no macro goes there
};

// Marks control as a field of kind (pages call this on their file-name fields and the SQL editor).
void SetFieldKind(QWidget* control, FieldKind kind);
// The kind of control: its mark, else a plain text field for line edits and text edits, else None.
FieldKind FieldKindOf(const QWidget* control);

// A page: it reaches its project only through its view (which may have none), stores its values when it is
// left or loses the focus, and paints its background in the theme's base colour (white in the light looks).
class ProjectPage : public QWidget {
    Q_OBJECT
  public:
    ProjectPage(CProjectView* view, QWidget* parent = nullptr);

    // Shows the page and loads its values from the project.
    virtual void Activate();
    // Stores the page's values into the project, then hides the page.
    virtual void Deactivate();
    // Fills the controls from project.
    virtual void LoadFromProject(CtwDoc& project) = 0;
    // Writes the controls into project (setters change only what differs).
    virtual void SaveToProject(CtwDoc& project) = 0;

    // The view the page belongs to; null once the view has begun to close (DetachView).
    CProjectView* View() const { return m_view; }
    // Called by the closing view before its widgets go: focus changes during the teardown must not store into
    // a project through a view that is half destroyed.
    void DetachView() { m_view = nullptr; }
    // The view's project; null when the view has none.
    CtwDoc* Project() const;
    // SaveToProject with the view's project, when there is one and it is not running (a run's pages store
    // nothing).
    void Store();

  protected:
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Draws grid lines between list's cells, in the look's colours: drawn again after the look changes, since
    // a widget with a style sheet keeps the palette it had when the sheet was set (a light list in the dark
    // look).
    void ShowGridLines(QAbstractItemView* list);

  private:
    static void StyleGrid(QAbstractItemView* list);

    CProjectView* m_view;
    std::vector<QPointer<QAbstractItemView>> m_gridLists;
};

// The name the page base has in the design notes.
using WhiteDialog = ProjectPage;

// The stand-in of a page that is not built yet: its name and nothing to move.
class PlaceholderPage : public ProjectPage {
    Q_OBJECT
  public:
    PlaceholderPage(CProjectView* view, const QString& name, QWidget* parent = nullptr);
    void LoadFromProject(CtwDoc&) override {}
    void SaveToProject(CtwDoc&) override {}
};
