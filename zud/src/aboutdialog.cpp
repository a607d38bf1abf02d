#include "aboutdialog.h"

#include "buildinfo.h"
#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AboutDialogClass)
{
    ui->setupUi(this);
    ui->appid->setText(appIdText(buildRevision, buildTimeStamp, buildModification));
}

AboutDialog::~AboutDialog() = default;

QString appIdText(const QString &revision, const QString &timeStamp, const QString &modification)
{
    const QString marker = modification == "0" ? QString() : "mod[" + modification + "]";
    return "id: " + revision + " " + marker + "\n" + QString(timeStamp).replace('_', ' ');
}
