#include "route.h"

#include "zudmainwindow.h"

#include <QDebug>
#include <QTreeWidgetItem>

RouteBranch::RouteBranch(const QString &name, QTreeWidgetItem *parentRow, QObject *parent) : Resource(parent)
{
    makeRow(parentRow, name, "!1routebranch");
    monitorable = false;
    canListen = false;
    qDebug() << "new route branch";
    RouteBranch::updateGui();
}

void RouteBranch::updateGui()
{
    item->setIcon(0, rowIcon(":/icons/images/route_dir.png"));
    gZudWindow->updateGuiLater();
}

// The lesser name first, so the same pair always gives the same route.
Route::Route(const QString &a, const QString &b, QTreeWidgetItem *parentRow, QObject *parent)
    : Resource(parent), a(std::min(a, b)), b(std::max(a, b))
{
    const QString name = this->a + " .. " + this->b;
    makeRow(parentRow, name, "route " + name.toLower());
    monitorable = false;
    canListen = false;
    qDebug() << "new route";
    Route::updateGui();
}

void Route::updateGui()
{
    item->setIcon(0, rowIcon(established ? ":/icons/images/link.png" : ":/icons/images/link_break.png"));
    gZudWindow->updateGuiLater();
}

int Route::setEstablished()
{
    if (established)
        return -3;
    established = true;
    updateGui();
    return 0;
}

int Route::setDismantled()
{
    if (!established)
        return -3;
    established = false;
    updateGui();
    return 0;
}

Endpoint::Endpoint(const QString &name, QObject *parent) : Resource(parent)
{
    resourceName = name;
    monitorable = false;
    canListen = false;
    qDebug().noquote() << "new endpoint" << ('"' + name + '"');
    Resource::updateGui();
}
