// What an operator sees first: the main window at its default size against a simulated unit
// with long names, on an X screen (Xvfb), without stored widths and with them, photographed.
#include "centralunit.h"
#include "centralunitmanager.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "resource.h"
#include "screenshot.h"
#include "simunit.h"
#include "zudmainwindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {
const QString unitName = QStringLiteral("Training Ground Central Unit");
const QStringList longNames{"Radio Tower North-East Relay", "Alarm Panel Building Seven Basement",
                            "PABX Main Exchange Line Twelve", "Field Phone Checkpoint Gate West"};
const QString column0Key = QStringLiteral("mainWindow/connectionsTreeWidget/col1Width");
const QString column1Key = QStringLiteral("mainWindow/connectionsTreeWidget/col2Width");

// The names the tree shows cut: a visible row whose column-0 cell is narrower than what its
// delegate needs for icon and text.
QStringList cutNames(const QTreeView *tree, const QModelIndex &parent = {})
{
    QStringList cut;
    const QAbstractItemModel *model = tree->model();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const QRect cell = tree->visualRect(index);
        if (cell.isEmpty())
            continue;
        QStyleOptionViewItem option;
        option.initFrom(tree);
        const int icon = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
        option.decorationSize = QSize(icon, icon);
        if (tree->itemDelegate()->sizeHint(option, index).width() > cell.width())
            cut << index.data().toString();
        cut << cutNames(tree, index);
    }
    return cut;
}
}

class FirstStartTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartShowsNamesAndDetailsWhole();
    void operatorWidthIsStored();
    void storedWidthsAreRestored();
    void namesFitAfterAReconnect();

private:
    // The console as main starts it: window, its stored settings, then the units.
    void start();
    void stop();
    ConnectionsTreeWidget *tree() const { return window->connectionsTree(); }

    QTemporaryDir dir;
    SimUnit sim;
    ZudMainWindow *window = nullptr;
    std::unique_ptr<CentralUnitManager> manager;
};

void FirstStartTest::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display (run under xvfb-run)");
    QCoreApplication::setOrganizationName("RE Zazazazezoz");
    QCoreApplication::setApplicationName("Next Generation ZUD");
    QSettings().clear();
    QFile model(dir.filePath("model.json"));
    QVERIFY(model.open(QIODevice::WriteOnly));
    QJsonArray users;
    const QStringList kinds{"radio", "user", "pabx", "field phone"};
    for (int i = 0; i < longNames.size(); ++i)
        users.append(QJsonObject{{"kind", kinds[i]}, {"name", longNames[i]}, {"status", "free"}});
    model.write(QJsonDocument(QJsonObject{{"users", users}}).toJson());
    model.close();
    QVERIFY(sim.start({"--model", model.fileName()}));
    gOperatorName = QStringLiteral("ZUD Operator");
}

void FirstStartTest::start()
{
    window = new ZudMainWindow;
    gZudWindow = window;
    window->restoreSettings();
    window->show();
    gConfig.set({"devices", unitName, "IP Address"})->value = "127.0.0.2";
    manager = std::make_unique<CentralUnitManager>();
    tree()->setUnitManager(manager.get());
    QTRY_VERIFY_WITH_TIMEOUT(manager->findUnit(unitName)->findResource(longNames.last()), eventBound);
}

void FirstStartTest::stop()
{
    window->close();
    manager->removeUnit(unitName);
    manager.reset();
    delete window;
    window = nullptr;
    gZudWindow = nullptr;
}

void FirstStartTest::firstStartShowsNamesAndDetailsWhole()
{
    start();
    tree()->expandAll();
    QTRY_COMPARE(cutNames(tree()), QStringList{});
    for (const QString &name : longNames)
        QVERIFY(!tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).isEmpty());

    // The unit's own row shows its lines in the dock, none of them behind a scroll bar.
    tree()->setCurrentItem(manager->findUnit(unitName)->treeItem());
    auto *info = window->findChild<QLabel *>("infoLabel");
    QTRY_VERIFY(info->text().contains("software version"));
    auto *scroll = window->findChild<QScrollArea *>("scrollArea");
    QTRY_VERIFY(info->width() >= info->sizeHint().width());
    QTRY_VERIFY(!scroll->horizontalScrollBar()->isVisible());
    QTest::qWait(300);
    photograph("first-start.png");
    stop();
    // Fitted widths are not the operator's: nothing is stored for them.
    QSettings settings;
    QVERIFY(!settings.contains(column0Key));
    QVERIFY(!settings.contains(column1Key));
}

void FirstStartTest::operatorWidthIsStored()
{
    start();
    // The operator drags the column's right edge.
    QHeaderView *header = tree()->header();
    QTRY_VERIFY(tree()->columnWidth(0) > 100);
    const int fitted = tree()->columnWidth(0);
    const int edge = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    const QPoint grip(edge, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, grip);
    QTest::mouseMove(header->viewport(), grip - QPoint(20, 0));
    QTest::mouseMove(header->viewport(), grip - QPoint(40, 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, grip - QPoint(40, 0));
    const int chosen = tree()->columnWidth(0);
    QVERIFY(chosen < fitted);
    // Rows that come later leave the operator's width alone.
    QVERIFY(sim.control({{"do", "send"}, {"tokens", QJsonArray{"status", "user", "A much longer name than any before it", "emerged", "user"}}}));
    QTRY_VERIFY(manager->findUnit(unitName)->findResource("A much longer name than any before it"));
    QTest::qWait(300);
    QCOMPARE(tree()->columnWidth(0), chosen);
    stop();
    QCOMPARE(QSettings().value(column0Key).toInt(), chosen);
}

void FirstStartTest::storedWidthsAreRestored()
{
    QSettings settings;
    settings.setValue(column0Key, 137);
    settings.setValue(column1Key, 201);
    settings.remove("mainWindow/gemetry");
    settings.remove("mainWindow/windowState");
    settings.sync();
    start();
    tree()->expandAll();
    QTest::qWait(300);
    QCOMPARE(tree()->columnWidth(0), 137);
    // The stored width wins even where it cuts names (and the check sees cuts).
    QVERIFY(!cutNames(tree()).isEmpty());
    photograph("stored-widths.png");
    stop();
    QCOMPARE(QSettings().value(column0Key).toInt(), 137);
}

// The unit goes away and comes back: its rows are made anew, and the name column fits them again
// without the operator expanding anything.
void FirstStartTest::namesFitAfterAReconnect()
{
    QSettings().clear();
    start();
    CentralUnit *unit = manager->findUnit(unitName);
    tree()->expandAll();
    QTRY_COMPARE(cutNames(tree()), QStringList{});
    QVERIFY(sim.control({{"do", "listen"}, {"on", false}}));
    QVERIFY(sim.control({{"do", "close"}}));
    QTRY_VERIFY(!unit->findResource(longNames.last()));
    // Only the unit's own row is left to fit while it is away.
    QTest::qWait(300);
    QVERIFY(sim.control({{"do", "listen"}, {"on", true}}));
    QTRY_VERIFY(unit->findResource(longNames.last()));
    QTRY_COMPARE(cutNames(tree()), QStringList{});
    photograph("names-after-reconnect.png");
    stop();
}

QTEST_MAIN(FirstStartTest)
#include "test_firststart.moc"
