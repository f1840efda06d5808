#include "project_page.h"

#include <QComboBox>
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

ProjectPage::ProjectPage(CProjectView* view, QWidget* parent) : QWidget(parent), m_view(view) {}

void ProjectPage::Activate() {
    show();
    if (CtwDoc* project = m_view->Project()) LoadFromProject(*project);
}

void ProjectPage::Deactivate() {
    if (CtwDoc* project = m_view->Project(); project && m_view->CanStore()) SaveToProject(*project);
    hide();
}

PlaceholderPage::PlaceholderPage(CProjectView* view, const QString& name, QWidget* parent)
    : ProjectPage(view, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("The %1 page is not built yet.").arg(name), this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    layout->addWidget(label);
}
