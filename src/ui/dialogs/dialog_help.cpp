#include "dialog_help.h"

#include <QShortcut>
#include <QWidget>

#include "help.h"

void InstallHelpKey(QWidget* dialog, const QString& topic) {
    auto* shortcut = new QShortcut(QKeySequence::HelpContents, dialog);
    // Inside a modal dialog the main window's F1 is out of reach, so the dialog answers it itself.
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, dialog, [dialog, topic] { ShowHtmlHelp(dialog, topic); });
}
