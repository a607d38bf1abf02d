#include "zudmainwindow.h"

#include "centralunit.h"
#include "ui_zudmainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QSettings>

ZudMainWindow *gZudWindow = nullptr;

namespace {
const QString geometryKey = QStringLiteral("mainWindow/gemetry");
const QString stateKey = QStringLiteral("mainWindow/windowState");
const QString column0Key = QStringLiteral("mainWindow/connectionsTreeWidget/col1Width");
const QString column1Key = QStringLiteral("mainWindow/connectionsTreeWidget/col2Width");
}

ZudMainWindow::ZudMainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::ZudMainWindow)
{
    ui->setupUi(this);
    setWindowTitle(title);
    ui->connectionsTreeWidget->setSortingEnabled(true);
    ui->connectionsTreeWidget->hideColumn(2);
    ui->connectionsTreeWidget->hideColumn(3);
}

ZudMainWindow::~ZudMainWindow() = default;

ConnectionsTreeWidget *ZudMainWindow::connectionsTree() const
{
    return ui->connectionsTreeWidget;
}

void ZudMainWindow::restoreSettings()
{
    QSettings settings;
    restoreGeometry(settings.value(geometryKey).toByteArray());
    restoreState(settings.value(stateKey).toByteArray(), 0);
    if (const int width = settings.value(column0Key).toInt())
        ui->connectionsTreeWidget->setColumnWidth(0, width);
    if (const int width = settings.value(column1Key).toInt())
        ui->connectionsTreeWidget->setColumnWidth(1, width);
    ui->connectionsTreeWidget->hideColumn(2);
    ui->connectionsTreeWidget->hideColumn(3);
}

void ZudMainWindow::closeEvent(QCloseEvent *event)
{
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
    settings.setValue(stateKey, saveState(0));
    settings.setValue(column0Key, ui->connectionsTreeWidget->columnWidth(0));
    settings.setValue(column1Key, ui->connectionsTreeWidget->columnWidth(1));
    QMainWindow::closeEvent(event);
}

void ZudMainWindow::updateGui()
{
    qDebug() << "update gui";
}

void ZudMainWindow::onCUBlocked(const QString &unitName)
{
    qDebug() << "central unit" << unitName << "is blocked";
}

void ZudMainWindow::receivedMessage()
{
    qDebug() << "raise request received";
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

void ZudMainWindow::on_connectionsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row, int)
{
    qDebug() << "item double clicked" << (row ? row->text(0) : QStringLiteral("(null)"));
    if (!row)
        return;
    if (CentralUnit *unit = ui->connectionsTreeWidget->unitForItem(row))
        unit->defaultAction(row);
}
