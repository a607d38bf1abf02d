#include "boxes.h"
#include "centralunitediting.h"
#include "centralunitmanager.h"
#include "linkfixture.h"
#include "logcapture.h"

#include <QApplication>
#include <QProcess>
#include <QScopeGuard>

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}

class ManagerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { makeMainWindow(); }
    void init() { gConfig.clear(); QFile::remove(gConfigFileName); }
    void addAndRemoveKeepZudConfInStep();
    void refusesWhatZudConfCannotHold_data();
    void refusesWhatZudConfCannotHold();
    void duplicateNameIsToldFirst();
    void eachChangeIsToldAsBefore_data();
    void eachChangeIsToldAsBefore();
    void changeZudConfCannotKeepWarns_data();
    void changeZudConfCannotKeepWarns();
};

void ManagerTest::addAndRemoveKeepZudConfInStep()
{
    CentralUnitManager manager;
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "3", "pw1"), UnitChange::Done);
    QVERIFY(manager.findUnit("Nord"));
    QVERIFY(!manager.findUnit("nord"));
    QCOMPARE(manager.findUnitByAddress("127.0.0.2"), manager.findUnit("Nord"));

    ConfigNode saved;
    QCOMPARE(saved.load(gConfigFileName), 0);
    QCOMPARE(saved.get({"devices", "Nord", "IP Address"})->value, QString("127.0.0.2"));
    QCOMPARE(saved.get({"devices", "Nord", "ttl"})->value, QString("3"));
    QCOMPARE(saved.get({"devices", "Nord", "password"})->value, QString("pw1"));
    QCOMPARE(saved.get({"devices", "Nord", "audio gain"})->value, QString("0"));

    QCOMPARE(manager.removeUnit("Nord"), UnitChange::Done);
    QCOMPARE(manager.removeUnit("Nord"), UnitChange::NoSuchUnit);
    QVERIFY(!manager.findUnit("Nord"));
    ConfigNode after;
    QCOMPARE(after.load(gConfigFileName), 0);
    QVERIFY(!after.get({"devices", "Nord"}));
    QCOMPARE(gZudWindow->connectionsTree()->topLevelItemCount(), 0);
}

void ManagerTest::refusesWhatZudConfCannotHold_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("refused");
    QTest::newRow("bar in the name") << "a|b" << "127.0.0.2" << "pw" << "name";
    QTest::newRow("TAB in the address") << "a" << "127.0.0.2\t" << "pw" << "IP Address";
    QTest::newRow("line break in the password") << "a" << "127.0.0.2" << "p\nw" << "password";
    QTest::newRow("carriage return in the name") << "a\r" << "127.0.0.2" << "pw" << "name";
    QTest::newRow("bar in the address") << "a" << "127.0.0.2|" << "pw" << "IP Address";
    QTest::newRow("TAB in the password") << "a" << "127.0.0.2" << "\tpw" << "password";
    QTest::newRow("name and password: the name is told") << "a\nb" << "127.0.0.2" << "p|w" << "name";
}

void ManagerTest::refusesWhatZudConfCannotHold()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, password);
    QFETCH(QString, refused);
    CentralUnitManager manager;
    QCOMPARE(manager.addUnit("Nord", "127.0.0.3", "2", "pw1"), UnitChange::Done);
    const QByteArray before = readAll(gConfigFileName);
    LogCapture log;
    BoxCollector boxes;
    const UnitChange change = manager.addUnit(name, address, "2", password);
    QVERIFY(log.contains("cannot be kept"));
    // The manager only says why; the window tells the operator.
    QVERIFY(boxes.texts.isEmpty());
    QVERIFY(!tellUnitChange(change, nullptr));
    QCOMPARE(boxes.texts, QStringList{"Error: Provided " + refused + R"( cannot hold "|", a TAB or a line break!)"});
    QCOMPARE(manager.centralUnits().size(), 1);
    QCOMPARE(readAll(gConfigFileName), before);
    QCOMPARE(manager.removeUnit("Nord"), UnitChange::Done);
}

void ManagerTest::duplicateNameIsToldFirst()
{
    CentralUnitManager manager;
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "2", ""), UnitChange::Done);
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "2", ""), UnitChange::NameInUse);
    QCOMPARE(manager.addUnit("Süd", "127.0.0.2", "2", ""), UnitChange::AddressInUse);
    QCOMPARE(manager.centralUnits().size(), 1);
    QCOMPARE(manager.removeUnit("Nord"), UnitChange::Done);
}

void ManagerTest::eachChangeIsToldAsBefore_data()
{
    QTest::addColumn<UnitChange>("change");
    QTest::addColumn<bool>("done");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("done") << UnitChange::Done << true << QStringList{};
    QTest::newRow("done, not saved")
        << UnitChange::DoneUnsaved << true
        << QStringList{"Warning: Cannot save zud.conf: the changes hold only until the console ends."};
    QTest::newRow("name in use") << UnitChange::NameInUse << false << QStringList{"Error: Provided name is in use!"};
    QTest::newRow("address in use") << UnitChange::AddressInUse << false
                                    << QStringList{"Error: Provided IP Address is in use!"};
    QTest::newRow("timeout unfit") << UnitChange::TimeoutUnfit << false
                                   << QStringList{R"(Error: Provided inactivity timeout cannot hold "|", a TAB or a line break!)"};
    QTest::newRow("no such unit") << UnitChange::NoSuchUnit << false << QStringList{};
}

void ManagerTest::eachChangeIsToldAsBefore()
{
    QFETCH(UnitChange, change);
    QFETCH(bool, done);
    QFETCH(QStringList, told);
    BoxCollector boxes;
    QCOMPARE(tellUnitChange(change, nullptr), done);
    QCOMPARE(boxes.texts, told);
}

void ManagerTest::changeZudConfCannotKeepWarns_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("add") << "add";
    QTest::newRow("edit") << "edit";
    QTest::newRow("remove") << "remove";
}

// zud.conf on a file system of the test's own (in its private mount namespace), made read-only
// after the unit was saved: every change holds in the console only, and the operator is told so.
void ManagerTest::changeZudConfCannotKeepWarns()
{
    QFETCH(QString, change);
    QTemporaryDir mountPoint;
    QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint.path()}), 0);
    const auto restore = qScopeGuard([&, keptName = std::exchange(gConfigFileName, mountPoint.filePath("zud.conf"))] {
        QProcess::execute("umount", {mountPoint.path()});
        gConfigFileName = keptName;
    });
    {
        CentralUnitManager manager;
        QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "2", "pw1"), UnitChange::Done);
        const QByteArray before = readAll(gConfigFileName);
        QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", mountPoint.path()}), 0);
        BoxCollector boxes;
        boxes.answer = QMessageBox::Ok;
        bool done = false;
        if (change == "add")
            done = tellUnitChange(manager.addUnit("Süd", "127.0.0.3", "2", ""), nullptr);
        else if (change == "edit")
            done = tellUnitChange(manager.editUnit("Nord", "127.0.0.4", "3", "pw2"), nullptr);
        else
            done = removeUnitAfterConfirmation(&manager, "Nord", nullptr);
        QVERIFY(done);
        QCOMPARE(boxes.texts.last(),
                 "Warning: Cannot save " + gConfigFileName + ": the changes hold only until the console ends.");
        QCOMPARE(readAll(gConfigFileName), before);
        QCOMPARE(bool(manager.findUnit("Nord")), change != "remove");
        while (!manager.centralUnits().isEmpty())
            manager.removeUnit(manager.centralUnits().first()->name());
    }
}

QTEST_MAIN(ManagerTest)
#include "test_manager.moc"
