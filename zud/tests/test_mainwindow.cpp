#include "connectionstreewidget.h"
#include "zudmainwindow.h"

#include <QHeaderView>
#include <QSettings>
#include <QTest>

// The main window's tree as its form and settings make it.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void treeAsTheFormMakesIt();
    void settingsSavedOnCloseAndRestored();
};

void MainWindowTest::initTestCase()
{
    QCoreApplication::setOrganizationName("RE Zazazazezoz");
    QCoreApplication::setApplicationName("Next Generation ZUD");
}

void MainWindowTest::treeAsTheFormMakesIt()
{
    ZudMainWindow window;
    QCOMPARE(window.windowTitle(), QString("Morvex ZT-5200K ZUD3"));
    ConnectionsTreeWidget *tree = window.connectionsTree();
    QCOMPARE(tree->objectName(), QString("connectionsTreeWidget"));
    QCOMPARE(tree->columnCount(), 4);
    QCOMPARE(tree->headerItem()->text(0), QString("Central Unit"));
    QCOMPARE(tree->headerItem()->text(1), QString("Details"));
    QVERIFY(tree->isSortingEnabled());
    QVERIFY(tree->isColumnHidden(2) && tree->isColumnHidden(3));
    QVERIFY(!tree->dragEnabled());
    QCOMPARE(tree->dragDropMode(), QAbstractItemView::NoDragDrop);
}

void MainWindowTest::settingsSavedOnCloseAndRestored()
{
    int detailsWidth = 0;
    {
        ZudMainWindow window;
        window.resize(700, 500);
        window.show();
        window.connectionsTree()->setColumnWidth(0, 180);
        // The last visible column stretches to the window's width.
        detailsWidth = window.connectionsTree()->columnWidth(1);
        window.close();
    }
    QSettings settings;
    QCOMPARE(settings.value("mainWindow/connectionsTreeWidget/col1Width").toInt(), 180);
    QCOMPARE(settings.value("mainWindow/connectionsTreeWidget/col2Width").toInt(), detailsWidth);
    QVERIFY(!settings.value("mainWindow/gemetry").toByteArray().isEmpty());
    QVERIFY(!settings.value("mainWindow/windowState").toByteArray().isEmpty());

    ZudMainWindow again;
    again.restoreSettings();
    QCOMPARE(again.connectionsTree()->columnWidth(0), 180);
    QCOMPARE(again.size(), QSize(700, 500));
    QVERIFY(again.connectionsTree()->isColumnHidden(2) && again.connectionsTree()->isColumnHidden(3));
}

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
