#include "savewarning.h"

#include "confignode.h"

#include <QCoreApplication>
#include <QMessageBox>

void warnConfigNotSaved(QWidget *parent)
{
    QMessageBox::warning(parent, QCoreApplication::translate("SaveWarning", "Warning"),
                         QCoreApplication::translate("SaveWarning", "Cannot save %1: the changes hold only until "
                                                                    "the console ends.").arg(gConfigFileName));
}
