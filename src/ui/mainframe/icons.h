#pragma once
// The program's images, drawn at run time: tab icons, the connect button and the toolbar's own buttons.

#include <QIcon>

// The 16 by 16 icon of page tab index (0 to 8).
QIcon TabIcon(int index);
// The connect button of the project view.
QIcon ConnectIcon();
// Toolbar images without a standard icon of the style.
QIcon MacroIcon();
QIcon SaveAllIcon();
QIcon RunIcon();
QIcon SettingsIcon();
QIcon LogIcon();
// The program's window icon.
QIcon AppIcon();
