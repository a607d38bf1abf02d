#pragma once

#include "resource.h"

// The unit's audio routes between two endpoints, under their "Routes" branch, and the endpoints
// they can join (which have no row).

class RouteBranch : public Resource
{
    Q_OBJECT
public:
    RouteBranch(const QString &name, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("route branch"); }
};

class Route : public Resource
{
    Q_OBJECT
public:
    Route(const QString &a, const QString &b, QTreeWidgetItem *parentRow, QObject *parent = nullptr);
    void updateGui() override;
    QString typeName() const override { return QStringLiteral("route"); }

    int setEstablished();
    int setDismantled();
    bool isEstablished() const { return established; }
    QString endpointA() const { return a; }
    QString endpointB() const { return b; }
    bool joins(const QString &x, const QString &y) const { return (x == a && y == b) || (x == b && y == a); }

private:
    QString a;
    QString b;
    bool established = false;
};

class Endpoint : public Resource
{
    Q_OBJECT
public:
    explicit Endpoint(const QString &name, QObject *parent = nullptr);
    QString typeName() const override { return QStringLiteral("endpoint"); }
};
