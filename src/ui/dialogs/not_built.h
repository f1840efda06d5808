#pragma once
// The stand-in for the dialogs that are not built yet (connect, SQL console, settings).

#include <QString>

class QWidget;

// Tells the user that the named dialog is not part of this build yet.
void ShowNotBuilt(QWidget* parent, const QString& dialogName);
