// The central-units dialog and the conference participant chooser against simulated units, on an
// X screen (Xvfb) so that both dialogs are photographed as the operator sees them. The units
// listen on addresses of their own on loopback: the unit form takes no 127.x address.
#include "boxes.h"
#include "centralunit.h"
#include "centralunitmanager.h"
#include "centralunitsdialog.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "screenshot.h"
#include "simunit.h"
#include "zudconf.h"
#include "zudmainwindow.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

namespace {
const QString north = QStringLiteral("10.46.0.1");
const QString east = QStringLiteral("10.46.0.2");
// Nothing listens here: its unit is never reachable.
const QString south = QStringLiteral("10.46.0.3");
const QString conference = QStringLiteral("dC~ZUD Operator");

// A row of the units table as its cells read, hidden key first.
QStringList cells(const QTreeWidgetItem *row)
{
    QStringList out;
    for (int column = 0; column < 5; ++column)
        out << row->text(column);
    return out;
}

// True when the unit saw a connection close after its first `from` log entries.
bool closedSince(const SimUnit &unit, int from)
{
    for (const QJsonObject &entry : unit.log().mid(from))
        if (entry["event"] == "close")
            return true;
    return false;
}

QString field(QDialog *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(name)->text();
}
}

class UnitDialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void offeredInTheMainWindow();
    void rowsFollowTheLinks();
    void plusAddsAUnit();
    void minusRemovesAfterAsking_data();
    void minusRemovesAfterAsking();
    void editedAddressReconnects();
    void wrongPasswordIsToldAndChangedHere();
    void refusedValuesStayTyped_data();
    void refusedValuesStayTyped();
    void chooserStartsTheConference_data();
    void chooserStartsTheConference();

private:
    void writeConfig(const QByteArray &text);
    QString saved(const QStringList &path) const;
    QTreeWidget *table(CentralUnitsDialog &dialog) const { return dialog.findChild<QTreeWidget *>("unitsTreeWidget"); }
    QStringList rowsOf(CentralUnitsDialog &dialog) const;
    QStringList namesOf(CentralUnitsDialog &dialog) const;
    QTreeWidgetItem *rowNamed(CentralUnitsDialog &dialog, const QString &name) const;
    // Fills the unit form (an empty text leaves a field as it is) and confirms it.
    static void fillAndAccept(QDialog *dialog, const QString &name, const QString &address, const QString &password);

    QTemporaryDir dir;
    SimUnit northUnit{north};
    SimUnit eastUnit{east};
    std::unique_ptr<CentralUnitManager> manager;
};

void UnitDialogsTest::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display (run under xvfb-run)");
    for (const QString &address : {north, east, south}) {
        QProcess ip;
        ip.start("ip", {"address", "add", address + "/32", "dev", "lo"});
        QVERIFY(ip.waitForFinished(eventBound));
        QCOMPARE(ip.exitCode(), 0);
    }
    QFile model(dir.filePath("model.json"));
    QVERIFY(model.open(QIODevice::WriteOnly));
    model.write(R"({"users": [{"kind": "user", "name": "ZUD Operator", "status": "free"},
                              {"kind": "user", "name": "Carol", "status": "free"},
                              {"kind": "radio", "name": "Radio1", "status": "free"},
                              {"kind": "user", "name": "bob", "status": "busy"},
                              {"kind": "pabx", "name": "PABX1", "status": "free"},
                              {"kind": "user", "name": "Alice", "status": "free"}]})");
    model.close();
    QVERIFY(northUnit.start({"--password", "pw1", "--model", model.fileName()}));
    QVERIFY(eastUnit.start({"--password", "pw2"}));
    gConfigFileName = dir.filePath("zud.conf");
    gOperatorName = QStringLiteral("ZUD Operator");
    gZudWindow = new ZudMainWindow;
    gZudWindow->show();
}

void UnitDialogsTest::init()
{
    // File order differs from name order: the table keeps the file's.
    writeConfig("|devices|\n"
                "\t|South| = ||\n\t\t|IP Address| = |" + south.toUtf8() + "|\n\t\t|ttl| = |2|\n\t\t|password| = ||\n"
                "\t|North| = ||\n\t\t|IP Address| = |" + north.toUtf8() + "|\n\t\t|ttl| = |2|\n\t\t|password| = |pw1|\n");
    manager = std::make_unique<CentralUnitManager>();
    gZudWindow->connectionsTree()->setUnitManager(manager.get());
    QTRY_VERIFY(manager->findUnit("North")->linkState() == CentralUnit::LinkState::LoggedIn);
}

void UnitDialogsTest::cleanup()
{
    while (!manager->centralUnits().isEmpty())
        manager->removeUnit(manager->centralUnits().first()->name());
    gZudWindow->connectionsTree()->setUnitManager(nullptr);
    manager.reset();
    northUnit.control({{"do", "listen"}, {"on", true}});
    northUnit.control({{"do", "password"}, {"text", "pw1"}});
}

void UnitDialogsTest::writeConfig(const QByteArray &text)
{
    writeZudConf(text);
}

QString UnitDialogsTest::saved(const QStringList &path) const
{
    return savedZudConfValue(path);
}

QStringList UnitDialogsTest::rowsOf(CentralUnitsDialog &dialog) const
{
    QStringList rows;
    for (int i = 0; i < table(dialog)->topLevelItemCount(); ++i)
        rows << cells(table(dialog)->topLevelItem(i)).join(" / ");
    return rows;
}

QStringList UnitDialogsTest::namesOf(CentralUnitsDialog &dialog) const
{
    QStringList names;
    for (int i = 0; i < table(dialog)->topLevelItemCount(); ++i)
        names << table(dialog)->topLevelItem(i)->text(1);
    return names;
}

QTreeWidgetItem *UnitDialogsTest::rowNamed(CentralUnitsDialog &dialog, const QString &name) const
{
    const QList<QTreeWidgetItem *> found = table(dialog)->findItems(name, Qt::MatchExactly, 1);
    return found.isEmpty() ? nullptr : found.first();
}

void UnitDialogsTest::fillAndAccept(QDialog *dialog, const QString &name, const QString &address, const QString &password)
{
    const std::pair<const char *, QString> values[]{
        {"nameLineEdit", name}, {"ipLineEdit", address}, {"passwordLineEdit", password}};
    for (const auto &[object, text] : values)
        if (!text.isEmpty())
            dialog->findChild<QLineEdit *>(object)->setText(text);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}

void UnitDialogsTest::offeredInTheMainWindow()
{
    // On the tool bar between settings and about, and on Ctrl+U.
    QStringList bar;
    for (QAction *action : gZudWindow->findChild<QToolBar *>("toolBar")->actions())
        bar << (action->isSeparator() ? "-" : action->objectName());
    QCOMPARE(bar, (QStringList{"-", "settingsAction", "centralUnitsDialogAction", "actionAbout"}));

    gZudWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(gZudWindow));
    QString title;
    QStringList names;
    BoxCollector boxes;
    boxes.onNextDialog([&](QDialog *dialog) {
        title = dialog->windowTitle();
        auto *units = dialog->findChild<QTreeWidget *>("unitsTreeWidget");
        for (int i = 0; i < units->topLevelItemCount(); ++i)
            names << units->topLevelItem(i)->text(1);
        dialog->reject();
    });
    QTest::keyClick(gZudWindow, Qt::Key_U, Qt::ControlModifier);
    QTRY_COMPARE(title, QString("Central Units Settings"));
    QCOMPARE(names, (QStringList{"South", "North"}));
}

void UnitDialogsTest::rowsFollowTheLinks()
{
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    QVERIFY(table(dialog)->isColumnHidden(0));
    const QString mask(8, QChar(0x25CF));
    QTRY_COMPARE(rowsOf(dialog), (QStringList{"South / South / " + south + " / not reachable / ",
                                              "North / North / " + north + " / logged in / " + mask}));
    QTest::qWait(300);
    photograph("central-units-dialog.png");

    // The unit goes away: the row says so, and says it again when the unit is back.
    QVERIFY(northUnit.control({{"do", "listen"}, {"on", false}}));
    QVERIFY(northUnit.control({{"do", "close"}}));
    QTRY_COMPARE(rowNamed(dialog, "North")->text(3), QString("not reachable"));
    QVERIFY(northUnit.control({{"do", "listen"}, {"on", true}}));
    QTRY_COMPARE_WITH_TIMEOUT(rowNamed(dialog, "North")->text(3), QString("logged in"), eventBound);
    // A link the unit takes but whose login it refuses is never logged in.
    QSignalSpy states(manager->findUnit("North"), &CentralUnit::linkStateChanged);
    const qsizetype logins = northUnit.messages().filter("login|").size();
    QVERIFY(northUnit.control({{"do", "password"}, {"text", "other"}}));
    QVERIFY(northUnit.control({{"do", "close"}}));
    QTRY_VERIFY_WITH_TIMEOUT(northUnit.messages().filter("login|").size() > logins, eventBound);
    QTRY_COMPARE(rowNamed(dialog, "North")->text(3), QString("wrong password"));
    QVERIFY(states.size() >= 3);
    for (const QList<QVariant> &state : std::as_const(states))
        QVERIFY(state.first().value<CentralUnit::LinkState>() != CentralUnit::LinkState::LoggedIn);
    // Nothing in the table holds a password in clear.
    for (int i = 0; i < table(dialog)->topLevelItemCount(); ++i)
        QVERIFY(!cells(table(dialog)->topLevelItem(i)).contains("pw1"));
}

void UnitDialogsTest::plusAddsAUnit()
{
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    BoxCollector boxes;
    boxes.onNextDialog([](QDialog *form) {
        QCOMPARE(form->windowTitle(), QString("New Central Unit"));
        form->findChild<QSpinBox *>("ttlSpinBox")->setValue(5);
        fillAndAccept(form, "East", east, "pw2");
    });
    dialog.findChild<QPushButton *>("pushButton")->click();
    QCOMPARE(boxes.texts, QStringList{});
    QCOMPARE(saved({"devices", "East", "IP Address"}), east);
    QCOMPARE(saved({"devices", "East", "ttl"}), QString("5"));
    QCOMPARE(saved({"devices", "East", "password"}), QString("pw2"));
    // Rows in the order zud.conf now holds the units (a save writes them sorted by name).
    QCOMPARE(namesOf(dialog), (QStringList{"East", "North", "South"}));
    ConfigNode file;
    QCOMPARE(file.load(gConfigFileName), 0);
    QStringList inFile;
    for (const auto &section : file.get({"devices"})->children)
        inFile << section->key;
    QCOMPARE(namesOf(dialog), inFile);
    QTRY_COMPARE(rowNamed(dialog, "East")->text(3), QString("logged in"));
    QTRY_VERIFY(eastUnit.messages().contains("login|ZUD Operator|" + QString::number(manager->findUnit("East")->rtpPort()) + "|pw2"));
}

void UnitDialogsTest::minusRemovesAfterAsking_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QStringList>("rowsLeft");
    QTest::newRow("Ok") << QMessageBox::Ok << QStringList{"South"};
    QTest::newRow("Cancel") << QMessageBox::Cancel << QStringList{"South", "North"};
}

void UnitDialogsTest::minusRemovesAfterAsking()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QStringList, rowsLeft);
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    const int opensBefore = int(northUnit.log().size());
    BoxCollector boxes;
    boxes.answer = answer;
    table(dialog)->setCurrentItem(rowNamed(dialog, "North"));
    dialog.findChild<QPushButton *>("pushButton_2")->click();
    QCOMPARE(boxes.texts, QStringList{": You are about to delete North\nContinue?"});
    QCOMPARE(namesOf(dialog), rowsLeft);
    const bool removed = answer == QMessageBox::Ok;
    QCOMPARE(saved({"devices", "North", "IP Address"}), removed ? QString("(missing)") : north);
    QCOMPARE(bool(manager->findUnit("North")), !removed);
    QCOMPARE(gZudWindow->connectionsTree()->findItems("North", Qt::MatchExactly).size(), removed ? 0 : 1);
    // The link ended with the unit.
    if (removed)
        QTRY_VERIFY(closedSince(northUnit, opensBefore));
}

void UnitDialogsTest::editedAddressReconnects()
{
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    CentralUnit *unit = manager->findUnit("North");
    const QString login = "login|ZUD Operator|" + QString::number(unit->rtpPort()) + "|pw2";
    QStringList shown;
    bool nameFixed = false;
    BoxCollector boxes;
    boxes.onNextDialog([&](QDialog *form) {
        shown << form->windowTitle() << field(form, "nameLineEdit") << field(form, "ipLineEdit")
              << field(form, "passwordLineEdit") << form->findChild<QSpinBox *>("ttlSpinBox")->text();
        nameFixed = form->findChild<QLineEdit *>("nameLineEdit")->isReadOnly();
        form->findChild<QSpinBox *>("ttlSpinBox")->setValue(7);
        fillAndAccept(form, "", east, "pw2");
    });
    emit table(dialog)->itemDoubleClicked(rowNamed(dialog, "North"), 1);
    QCOMPARE(shown, (QStringList{"Central Unit North", "North", north, "pw1", "2 s"}));
    QVERIFY(nameFixed);
    QCOMPARE(boxes.texts, QStringList{});
    // The old link ends, the new one logs in with the new password.
    QTRY_VERIFY(eastUnit.messages().contains(login));
    QTRY_COMPARE(rowNamed(dialog, "North")->text(3), QString("logged in"));
    QCOMPARE(rowNamed(dialog, "North")->text(2), east);
    QCOMPARE(unit->ipAddress(), east);
    QCOMPARE(unit->ttl(), 7);
    QCOMPARE(unit->treeItem()->text(1), east);
    QCOMPARE(saved({"devices", "North", "IP Address"}), east);
    QCOMPARE(saved({"devices", "North", "password"}), QString("pw2"));
    QCOMPARE(saved({"devices", "North", "ttl"}), QString("7"));
    QCOMPARE(saved({"devices", "North", "audio gain"}), QString("(missing)"));
    QVERIFY(!northUnit.messages().contains(login));
    QVERIFY(closedSince(northUnit, 0));

    // A timeout alone keeps the link.
    const int opens = int(eastUnit.log().size());
    boxes.onNextDialog([&](QDialog *form) {
        form->findChild<QSpinBox *>("ttlSpinBox")->setValue(3);
        fillAndAccept(form, "", "", "");
    });
    emit table(dialog)->itemDoubleClicked(rowNamed(dialog, "North"), 1);
    QCOMPARE(unit->ttl(), 3);
    QCOMPARE(saved({"devices", "North", "ttl"}), QString("3"));
    QTest::qWait(300);
    for (const QJsonObject &entry : eastUnit.log().mid(opens))
        QVERIFY(entry["event"] != "open" && entry["event"] != "close");
}

// A unit that refuses every login for its password: the table and the tree say so while the link
// keeps trying, and the password is changed from the table's Edit button.
void UnitDialogsTest::wrongPasswordIsToldAndChangedHere()
{
    CentralUnit *unit = manager->findUnit("North");
    QVERIFY(northUnit.control({{"do", "password"}, {"text", "new pw"}}));
    QVERIFY(northUnit.control({{"do", "close"}}));
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    QTRY_COMPARE(rowNamed(dialog, "North")->text(3), QString("wrong password"));
    QCOMPARE(unit->treeItem()->toolTip(0), QString("wrong password"));
    // Told through the retries, not swapped for "connecting" at each.
    QSignalSpy states(unit, &CentralUnit::linkStateChanged);
    const qsizetype logins = northUnit.messages().filter("login|").size();
    QTRY_VERIFY(northUnit.messages().filter("login|").size() >= logins + 2);
    QCOMPARE(states.size(), 0);
    QCOMPARE(rowNamed(dialog, "North")->text(3), QString("wrong password"));
    QCOMPARE(unit->treeItem()->toolTip(0), QString("wrong password"));
    // The unit's details say it too.
    auto *details = gZudWindow->findChild<QLabel *>("infoLabel");
    gZudWindow->connectionsTree()->setCurrentItem(unit->treeItem());
    QTRY_COMPARE(details->text(), QString("login: wrong password"));
    // The words fit their column.
    QStyleOptionViewItem option;
    option.initFrom(table(dialog));
    const QModelIndex cell = table(dialog)->model()->index(table(dialog)->indexOfTopLevelItem(rowNamed(dialog, "North")), 3);
    QTRY_VERIFY(table(dialog)->columnWidth(3) >= table(dialog)->itemDelegate()->sizeHint(option, cell).width());
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(300);
    photograph("central-units-wrong-password.png");

    BoxCollector boxes;
    bool addressTaken = false;
    boxes.onNextDialog([&](QDialog *form) {
        // The address zud.conf holds passes as it is.
        addressTaken = form->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled();
        fillAndAccept(form, "", "", "new pw");
    });
    table(dialog)->setCurrentItem(rowNamed(dialog, "North"));
    dialog.findChild<QPushButton *>("editPushButton")->click();
    QVERIFY(addressTaken);
    QCOMPARE(boxes.texts, QStringList{});
    QTRY_COMPARE(rowNamed(dialog, "North")->text(3), QString("logged in"));
    QCOMPARE(unit->treeItem()->toolTip(0), QString("TTL: 2 seconds"));
    QTRY_VERIFY(details->text().startsWith("system:"));
    QVERIFY(northUnit.messages().contains("login|ZUD Operator|" + QString::number(unit->rtpPort()) + "|new pw"));
    QCOMPARE(saved({"devices", "North", "password"}), QString("new pw"));
}

void UnitDialogsTest::refusedValuesStayTyped_data()
{
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("box");
    QTest::newRow("new unit, name in use") << "" << "North" << east << "Error: Provided name is in use!";
    QTest::newRow("new unit, address in use") << "" << "West" << north << "Error: Provided IP Address is in use!";
    QTest::newRow("edited unit, address in use") << "South" << "South" << north << "Error: Provided IP Address is in use!";
}

void UnitDialogsTest::refusedValuesStayTyped()
{
    QFETCH(QString, edited);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, box);
    CentralUnitsDialog dialog(manager.get());
    dialog.show();
    QFile file(gConfigFileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    BoxCollector boxes;
    QStringList shownAgain;
    boxes.onNextDialog([&](QDialog *form) {
        fillAndAccept(form, edited.isEmpty() ? name : QString(), address, "typed pw");
        boxes.onNextDialog([&](QDialog *again) {
            shownAgain << field(again, "nameLineEdit") << field(again, "ipLineEdit") << field(again, "passwordLineEdit");
            again->reject();
        });
    });
    if (edited.isEmpty())
        dialog.findChild<QPushButton *>("pushButton")->click();
    else
        emit table(dialog)->itemDoubleClicked(rowNamed(dialog, edited), 1);
    QCOMPARE(boxes.texts, QStringList{box});
    QCOMPARE(shownAgain, (QStringList{name, address, "typed pw"}));
    QCOMPARE(manager->centralUnits().size(), 2);
    QCOMPARE(manager->findUnit("South")->ipAddress(), south);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void UnitDialogsTest::chooserStartsTheConference_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QStringList>("sent");
    const QString create = "connect|conference|" + conference + "|create";
    QTest::newRow("two, chosen out of order")
        << QStringList{"Carol", "Alice"} << true << false
        << QStringList{create, "add|user|Alice|" + conference, "add|user|Carol|" + conference};
    QTest::newRow("all three") << QStringList{"bob", "Carol", "Alice"} << true << false
                               << QStringList{create, "add|user|Alice|" + conference, "add|user|bob|" + conference,
                                              "add|user|Carol|" + conference};
    QTest::newRow("nobody") << QStringList{} << true << false << QStringList{create};
    QTest::newRow("Cancel") << QStringList{"Alice"} << false << false << QStringList{};
    QTest::newRow("busy unit") << QStringList{"Alice"} << true << true << QStringList{};
}

void UnitDialogsTest::chooserStartsTheConference()
{
    QFETCH(QStringList, chosen);
    QFETCH(bool, ok);
    QFETCH(bool, busy);
    QFETCH(QStringList, sent);
    CentralUnit *unit = manager->findUnit("North");
    QTRY_VERIFY(unit->findResource("Alice"));
    QTRY_VERIFY(!unit->checkIfBusyAndInformIfSo());
    QSignalSpy blocked(unit, &CentralUnit::blocked);
    if (busy) {
        QVERIFY(northUnit.control({{"do", "hold"}, {"on", true}}));
        QCOMPARE(unit->connectTo("Carol"), 0);
    }
    const int seen = int(northUnit.messages().size());

    QStringList listed;
    QString title, label;
    BoxCollector boxes;
    boxes.onNextDialog([&](QDialog *dialog) {
        title = dialog->windowTitle();
        label = dialog->findChild<QLabel *>("participantsLabel")->text();
        auto *list = dialog->findChild<QListWidget *>("participantsListWidget");
        for (int row = 0; row < list->count(); ++row) {
            listed << list->item(row)->text();
            // Clicked as the operator would, one after the other.
            if (chosen.contains(list->item(row)->text()))
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        }
        if (QString(QTest::currentDataTag()) == "two, chosen out of order") {
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QTest::qWait(300);
            photograph("conference-on-demand-dialog.png");
        }
        dialog->findChild<QDialogButtonBox *>()->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    std::unique_ptr<QMenu> menu(gZudWindow->connectionsTree()->buildContextMenu(unit->treeItem()));
    QAction *create = nullptr;
    for (QAction *action : menu->actions())
        if (action->text() == "Create conference")
            create = action;
    QVERIFY(create && create->isEnabled());
    create->trigger();
    QCOMPARE(title, QString("Conference on demand"));
    QCOMPARE(label, QString("Select operators:"));
    // The unit's users but the console's own operator, by name regardless of case.
    QCOMPARE(listed, (QStringList{"Alice", "bob", "Carol"}));
    if (busy) {
        QCOMPARE(blocked.size(), 1);
        QVERIFY(northUnit.control({{"do", "hold"}, {"on", false}}));
    }
    QTRY_VERIFY(!unit->checkIfBusyAndInformIfSo());
    QTest::qWait(200);
    QStringList received = northUnit.messages().mid(seen);
    received.removeAll("connect|user|Carol");
    QCOMPARE(received, sent);
}

QTEST_MAIN(UnitDialogsTest)
#include "test_unitdialogs.moc"
