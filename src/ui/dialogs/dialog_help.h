#pragma once
// The help key of a dialog: F1 anywhere in it shows the dialog's help topic.

#include <QString>

class QWidget;

// Makes F1 inside dialog show topic (a file name of the help folder, such as "settings.html").
void InstallHelpKey(QWidget* dialog, const QString& topic);
