#include "help.h"

#include <QFileInfo>
#include <QObject>
#include <QUrl>

#include "help_viewer.h"
#include "host.h"

QString HelpPath(const QString& topic) { return QString::fromStdString(DataDir()) + QStringLiteral("/help/") + topic; }

void ShowHtmlHelp(QWidget*, const QString& topic) {
    const QString path = HelpPath(topic);
    if (!QFileInfo::exists(path)) {
        const QString text = QObject::tr("The help topic %1 is not installed.").arg(topic);
        Host().MessageBox(text.toStdWString(), L"Help", MessageIcon::Information);
        return;
    }
    CHelpViewer* viewer = CHelpViewer::Instance();
    viewer->ShowTopic(topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}
