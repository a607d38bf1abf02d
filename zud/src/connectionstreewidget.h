#pragma once

#include <QTreeWidget>

// The tree of every central unit's resources in the main window.
class ConnectionsTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;
};
