#include "project_page.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

#include "project_view.h"

namespace {
const char* const kFieldKindProperty = "twFieldKind";
}

void SetFieldKind(QWidget* control, FieldKind kind) {
    control->setProperty(kFieldKindProperty, static_cast<int>(kind));
}

FieldKind FieldKindOf(const QWidget* control) {
    if (control == nullptr) return FieldKind::None;
    // A field that takes no typing (the connection line, a page during its run) takes no macro either.
    if (!control->isEnabled()) return FieldKind::None;
    if (auto* line = qobject_cast<const QLineEdit*>(control); line && line->isReadOnly()) return FieldKind::None;
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(control); plain && plain->isReadOnly()) {
        return FieldKind::None;
    }
    if (auto* rich = qobject_cast<const QTextEdit*>(control); rich && rich->isReadOnly()) return FieldKind::None;
    QVariant mark = control->property(kFieldKindProperty);
    // The line edit of an editable combo box (a file-name history box) carries its box's mark.
    if (!mark.isValid() && qobject_cast<const QComboBox*>(control->parentWidget())) {
        mark = control->parentWidget()->property(kFieldKindProperty);
    }
    if (mark.isValid()) return static_cast<FieldKind>(mark.toInt());
    if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control) ||
        qobject_cast<const QTextEdit*>(control)) {
        return FieldKind::PlainText;
    }
    // The SQL editor (QScintilla) is text entry where no macro may go, marked or not.
    if (control->inherits("QsciScintilla")) return FieldKind::SqlEditor;
    return FieldKind::None;
}

ProjectPage::ProjectPage(CProjectView* view, QWidget* parent) : QWidget(parent), m_view(view) {
    // The theme's base colour: white in the light looks, the dark look's own base in the dark one.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

CtwDoc* ProjectPage::Project() const { return m_view != nullptr ? m_view->Project() : nullptr; }

void ProjectPage::Store() {
    if (CtwDoc* project = Project(); project && m_view->CanStore()) SaveToProject(*project);
}

void ProjectPage::Activate() {
    show();
    if (CtwDoc* project = Project()) LoadFromProject(*project);
}

void ProjectPage::Deactivate() {
    Store();
    hide();
}

void ProjectPage::focusOutEvent(QFocusEvent* event) {
    Store();
    QWidget::focusOutEvent(event);
}

void ProjectPage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        for (const QPointer<QAbstractItemView>& list : m_gridLists) {
            if (list) StyleGrid(list);
        }
    }
    QWidget::changeEvent(event);
}

void ProjectPage::ShowGridLines(QAbstractItemView* list) {
    m_gridLists.push_back(list);
    StyleGrid(list);
}

void ProjectPage::StyleGrid(QAbstractItemView* list) {
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight); "
                                       "border-bottom: 1px solid palette(midlight); }"));
}



PlaceholderPage::PlaceholderPage(CProjectView* view, const QString& name, QWidget* parent)
    : ProjectPage(view, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("The %1 page is not built yet.").arg(name), this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    layout->addWidget(label);
}
