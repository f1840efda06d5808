#pragma once
// Help topics: the installed help pages, shown in the program's help window.

#include <QString>

class QWidget;

// Shows topic (a file name such as "query.html") of the help folder; a message when it is not installed.
void ShowHtmlHelp(QWidget* parent, const QString& topic);
// The path of topic in the installed help folder (it may not exist).
QString HelpPath(const QString& topic);
