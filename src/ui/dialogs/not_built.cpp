#include "not_built.h"

#include <QObject>

#include "host.h"

void ShowNotBuilt(QWidget*, const QString& dialogName) {
    const QString text = QObject::tr("The %1 dialog is not built yet.").arg(dialogName);
    Host().MessageBox(text.toStdWString(), dialogName.toStdWString(), MessageIcon::Information);
}
