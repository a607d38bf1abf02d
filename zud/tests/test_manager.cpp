#include "boxes.h"
#include "centralunitmanager.h"
#include "linkfixture.h"
#include "logcapture.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closes the next warning box and keeps its text.
void closeNextMessageBox(QString *text)
{
    QTimer::singleShot(200, [text] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->close();
        }
    });
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
};

void ManagerTest::addAndRemoveKeepZudConfInStep()
{
    CentralUnitManager manager;
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "3", "pw1"), 0);
    QVERIFY(manager.findUnit("Nord"));
    QVERIFY(!manager.findUnit("nord"));
    QCOMPARE(manager.findUnitByAddress("127.0.0.2"), manager.findUnit("Nord"));

    ConfigNode saved;
    QCOMPARE(saved.load(gConfigFileName), 0);
    QCOMPARE(saved.get({"devices", "Nord", "IP Address"})->value, QString("127.0.0.2"));
    QCOMPARE(saved.get({"devices", "Nord", "ttl"})->value, QString("3"));
    QCOMPARE(saved.get({"devices", "Nord", "password"})->value, QString("pw1"));
    QCOMPARE(saved.get({"devices", "Nord", "audio gain"})->value, QString("0"));

    QCOMPARE(manager.removeUnit("Nord"), 0);
    QCOMPARE(manager.removeUnit("Nord"), -3);
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
    QCOMPARE(manager.addUnit("Nord", "127.0.0.3", "2", "pw1"), 0);
    const QByteArray before = readAll(gConfigFileName);
    LogCapture log;
    BoxCollector boxes;
    QCOMPARE(manager.addUnit(name, address, "2", password), -5);
    QVERIFY(log.contains("cannot be kept"));
    QCOMPARE(boxes.texts, QStringList{"Error: Provided " + refused + R"( cannot hold "|", a TAB or a line break!)"});
    QCOMPARE(manager.centralUnits().size(), 1);
    QCOMPARE(readAll(gConfigFileName), before);
    QCOMPARE(manager.removeUnit("Nord"), 0);
}

void ManagerTest::duplicateNameIsToldFirst()
{
    CentralUnitManager manager;
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "2", ""), 0);
    QString nameText, addressText;
    closeNextMessageBox(&nameText);
    QCOMPARE(manager.addUnit("Nord", "127.0.0.2", "2", ""), -3);
    QCOMPARE(nameText, QString("Provided name is in use!"));
    closeNextMessageBox(&addressText);
    QCOMPARE(manager.addUnit("Süd", "127.0.0.2", "2", ""), -3);
    QCOMPARE(addressText, QString("Provided IP Address is in use!"));
    QCOMPARE(manager.centralUnits().size(), 1);
    QCOMPARE(manager.removeUnit("Nord"), 0);
}

QTEST_MAIN(ManagerTest)
#include "test_manager.moc"
