#include "connectionstreewidget.h"
#include "dial.h"
#include "singleinstance.h"
#include "zudmainwindow.h"
#include "waits.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

// The main window's tree as its form and settings make it.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void treeAsTheFormMakesIt();
    void settingsSavedOnCloseAndRestored();
    void zeroWidthsNotApplied();
    void raisedBySecondStart();
    void dialKeys_data();
    void dialKeys();
    void dialButtons();
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
    // The resource buttons wait for the first refresh; radio silence for a unit.
    for (const char *name : {"acceptPushButton", "rejectPushButton", "monitorPushButton", "increaseRadioGainPushButton",
                             "decreaseRadioGainPushButton", "radioGainLabel"})
        QVERIFY2(!window.findChild<QWidget *>(name)->isVisibleTo(&window), name);
    for (const char *name : {"mutePushButton", "radioSilencePushButton", "pttPushButton", "broadcastPushButton",
                             "broadcastToPushButton"})
        QVERIFY2(window.findChild<QWidget *>(name)->isVisibleTo(&window), name);
    QVERIFY(!window.findChild<QWidget *>("radioSilencePushButton")->isEnabled());
    QVERIFY(window.findChild<QPushButton *>("mutePushButton")->isCheckable());
    QCOMPARE(window.findChild<QAction *>("settingsAction")->shortcut(), QKeySequence(Qt::Key_Escape));
    QCOMPARE(window.findChild<QAction *>("actionAbout")->shortcut(), QKeySequence("Ctrl+I"));
    QVERIFY(!window.findChild<QAction *>("settingsAction")->icon().isNull());
    QVERIFY(!window.findChild<QPushButton *>("broadcastToPushButton")->icon().isNull());
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
        window.connectionsTree()->showColumn(2);
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

void MainWindowTest::zeroWidthsNotApplied()
{
    QSettings settings;
    settings.setValue("mainWindow/connectionsTreeWidget/col1Width", 0);
    settings.setValue("mainWindow/connectionsTreeWidget/col2Width", 0);
    ZudMainWindow window;
    const int width0 = window.connectionsTree()->columnWidth(0);
    const int width1 = window.connectionsTree()->columnWidth(1);
    window.restoreSettings();
    QVERIFY(width0 > 0 && width1 > 0);
    QCOMPARE(window.connectionsTree()->columnWidth(0), width0);
    QCOMPARE(window.connectionsTree()->columnWidth(1), width1);
}

void MainWindowTest::raisedBySecondStart()
{
    SingleInstance first;
    QVERIFY(first.listen());
    ZudMainWindow window;
    connect(&first, &SingleInstance::raiseRequested, &window, &ZudMainWindow::receivedMessage);
    window.showMinimized();
    QTRY_VERIFY(window.isMinimized());
    QVERIFY(SingleInstance::notifyRunning());
    QTRY_VERIFY(!window.isMinimized());
    QTRY_VERIFY(window.isActiveWindow());
}

void MainWindowTest::dialKeys_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("emitted");

    QTest::newRow("digits, star, hash") << QList<int>{Qt::Key_0, Qt::Key_9, Qt::Key_Asterisk, Qt::Key_NumberSign}
                                        << "09*#" << QStringList{};
    QTest::newRow("backspace deletes one") << QList<int>{Qt::Key_1, Qt::Key_2, Qt::Key_Backspace} << "1" << QStringList{};
    QTest::newRow("backspace on empty") << QList<int>{Qt::Key_Backspace} << "" << QStringList{};
    QTest::newRow("delete clears") << QList<int>{Qt::Key_1, Qt::Key_2, Qt::Key_Delete} << "" << QStringList{};
    QTest::newRow("return confirms") << QList<int>{Qt::Key_7, Qt::Key_Return} << "" << QStringList{"ok 7"};
    QTest::newRow("keypad enter confirms") << QList<int>{Qt::Key_8, Qt::Key_Enter} << "" << QStringList{"ok 8"};
    QTest::newRow("escape cancels") << QList<int>{Qt::Key_5, Qt::Key_Escape} << "" << QStringList{"cancel"};
    QTest::newRow("empty ok") << QList<int>{Qt::Key_Return} << "" << QStringList{"ok "};
    QTest::newRow("other keys") << QList<int>{Qt::Key_A, Qt::Key_Plus, Qt::Key_Space} << "" << QStringList{};
    QList<int> forty;
    QString fortyDigits;
    for (int i = 0; i < 40; ++i) {
        forty << Qt::Key_0 + i % 10;
        fortyDigits += QString::number(i % 10);
    }
    QTest::newRow("40 digits") << forty << fortyDigits << QStringList{};
    QTest::newRow("40 digits confirmed") << (forty << Qt::Key_Enter) << "" << QStringList{"ok " + fortyDigits};
}

void MainWindowTest::dialKeys()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, shown);
    QFETCH(QStringList, emitted);

    Dial dial;
    QStringList seen;
    connect(&dial, &Dial::ok, [&](const QString &number) { seen << "ok " + number; });
    connect(&dial, &Dial::cancel, [&] { seen << "cancel"; });
    for (int key : keys) {
        const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&dial, &event);
        QVERIFY(!event.isAccepted());
    }
    QCOMPARE(dial.findChild<QLineEdit *>("number")->text(), shown);
    QCOMPARE(seen, emitted);
    QVERIFY(!dial.isVisible());
}

void MainWindowTest::dialButtons()
{
    Dial dial;
    QCOMPARE(dial.windowTitle(), QString("Dial Number"));
    QVERIFY(!(dial.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(dial.windowModality(), Qt::ApplicationModal);
    QSignalSpy ok(&dial, &Dial::ok);
    auto button = [&](const char *name) { return dial.findChild<QPushButton *>(name); };
    auto *display = dial.findChild<QLineEdit *>("number");

    // A digit counts at press; OK only at release.
    QTest::mousePress(button("btn_1"), Qt::LeftButton);
    QCOMPARE(display->text(), QString("1"));
    QTest::mouseRelease(button("btn_1"), Qt::LeftButton);
    for (const char *name : {"btn_2", "del", "btn_hash"})
        QTest::mouseClick(button(name), Qt::LeftButton);
    QTest::mousePress(button("ok"), Qt::LeftButton);
    QCOMPARE(ok.size(), 0);
    QTest::mouseRelease(button("ok"), Qt::LeftButton);
    QCOMPARE(ok.size(), 1);
    QCOMPARE(ok.at(0).at(0).toString(), QString("1#"));
    QCOMPARE(display->text(), QString());

    QTest::mouseClick(button("del"), Qt::LeftButton);
    QCOMPARE(display->text(), QString());
    QTest::mouseClick(button("btn_star"), Qt::LeftButton);
    QTest::mouseClick(button("clr"), Qt::LeftButton);
    QCOMPARE(display->text(), QString());
    for (QPushButton *each : dial.findChildren<QPushButton *>())
        QCOMPARE(each->focusPolicy(), Qt::NoFocus);
}

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
