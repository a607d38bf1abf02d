#include "columnfit.h"

#include <QHeaderView>
#include <QTreeView>

namespace {
constexpr int burstMs = 100;
}

ColumnFit::ColumnFit(QTreeView *view, int column) : QObject(view), view(view), column(column)
{
    burst.setSingleShot(true);
    burst.setInterval(burstMs);
    connect(&burst, &QTimer::timeout, this, &ColumnFit::fit);
    QAbstractItemModel *model = view->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFit::schedule);
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        if (from.column() <= this->column && this->column <= to.column())
            schedule();
    });
    connect(view, &QTreeView::expanded, this, &ColumnFit::schedule);
    connect(view->header(), &QHeaderView::sectionResized, this, [this](int index) {
        if (index == this->column && !resizing)
            stop();
    });
}

void ColumnFit::stop()
{
    fitting = false;
    burst.stop();
}

void ColumnFit::schedule()
{
    if (fitting && !burst.isActive())
        burst.start();
}

void ColumnFit::fit()
{
    resizing = true;
    view->resizeColumnToContents(column);
    resizing = false;
}
