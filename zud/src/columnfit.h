#pragma once

#include <QObject>
#include <QTimer>

class QTreeView;

// Keeps a tree's column as wide as its rows while they arrive, so that a first start without a
// stored width shows whole names. It stops for good once the width is set otherwise: restored
// from the settings (stop) or dragged by the operator.
class ColumnFit : public QObject
{
    Q_OBJECT
public:
    ColumnFit(QTreeView *view, int column);

    void stop();
    bool isFitting() const { return fitting; }

private:
    void schedule();
    void fit();

    QTreeView *view;
    int column;
    bool fitting = true;
    bool resizing = false;
    // Rows come in bursts (a unit's lists, its status reports): one fit per burst.
    QTimer burst;
};
