#pragma once
// The five visual themes: Qt styles and palettes chosen by the command numbers stored under ApplicationLook.

#include <QString>

inline constexpr int kFirstLook = 215;
inline constexpr int kLastLook = 219;
inline constexpr int kDefaultLook = 215;

// The menu entry of a theme command (215 to 219).
QString LookEntry(int look);
// Applies look to the whole application; an unknown number applies the default. Returns the look applied.
int ApplyLook(int look);
// The look stored under ApplicationLook in the window profile (default 215).
int StoredLook();
void StoreLook(int look);
