#include "aboutdialog.h"
#include "audio.h"
#include "boxes.h"
#include "centralunit.h"
#include "centralunitmanager.h"
#include "centralunitsdialog.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "levelmeter.h"
#include "logcapture.h"
#include "monitorgainsettingsdialog.h"
#include "newunitdialog.h"
#include "radioconnectionsettingsdialog.h"
#include "settingsdialog.h"
#include "waits.h"
#include "zudconf.h"
#include "zudmainwindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The meter's bar columns 30..49 as runs of rows of one colour, "colour first-last" joined by ", ";
// "mixed" where a row is not one colour.
QString bars(LevelMeter &meter)
{
    const QImage image = meter.grab().toImage();
    auto name = [](QRgb rgb) -> QString {
        switch (rgb & 0xffffff) {
        case 0x000000: return "black";
        case 0xff0000: return "red";
        case 0x00ff00: return "green";
        case 0xffc8c8: return "pink";
        case 0x0000ff: return "blue";
        default: return QString::number(rgb & 0xffffff, 16);
        }
    };
    QStringList runs;
    QString last;
    int first = 0;
    for (int y = 0; y <= image.height(); ++y) {
        QString colour;
        if (y < image.height()) {
            colour = name(image.pixel(30, y));
            for (int x = 31; x < 50; ++x)
                if (name(image.pixel(x, y)) != colour)
                    colour = "mixed";
        }
        if (colour != last) {
            if (!last.isEmpty())
                runs << QString("%1 %2-%3").arg(last).arg(first).arg(y - 1);
            last = colour;
            first = y;
        }
    }
    return runs.join(", ");
}
}

// The console's dialogs: the level meter, settings, about, new unit, central units, radio
// connection and monitor gain, with zud.conf in a temporary directory.
class DialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void levelMeter_data();
    void levelMeter();
    void levelMeterHoldAndLabels();
    void settingsOpenAndCancel_data();
    void settingsOpenAndCancel();
    void settingsVoxValues();
    void settingsOk();
    void settingsSaveFails();
    void deviceNames_data();
    void deviceNames();
    void windowShortcuts();
    void about();
    void newUnitAddress_data();
    void newUnitAddress();
    void shownUnitKeepsItsAddress();
    void newUnitAdded();
    void newUnitValueZudConfCannotHold_data();
    void newUnitValueZudConfCannotHold();
    void centralUnitsFrame();
    void radioConnectionLoad_data();
    void radioConnectionLoad();
    void dialogSavesFail();
    void monitorGain();

private:
    void writeConfig(const QByteArray &text) { writeZudConf(text); }
    QString value(const QStringList &path) { return savedZudConfValue(path); }

    QTemporaryDir dir;
    Audio audio;
    std::unique_ptr<CentralUnitManager> manager;
};

void DialogsTest::initTestCase()
{
    gConfigFileName = dir.filePath("zud.conf");
    // A configured device that no longer exists: the engine opens the default one under its name.
    QCOMPARE(audio.openPlaybackDevice("Gone Speaker"), 0);
    QCOMPARE(audio.openCaptureDevice("Gone Microphone"), 0);
    gZudWindow = new ZudMainWindow;
    manager = std::make_unique<CentralUnitManager>();
    gZudWindow->connectionsTree()->setUnitManager(manager.get());
}

void DialogsTest::init()
{
    gOperatorName = "Operator 1";
    writeConfig("|system|\n\t|username| = |Operator 1|\n\t|audio|\n\t\t|vox level| = |-80|\n");
}

void DialogsTest::levelMeter_data()
{
    QTest::addColumn<QList<double>>("levels");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QList<double>>("voxLevels");
    QTest::addColumn<QString>("shown");

    QTest::newRow("fresh") << QList<double>{} << false << QList<double>{} << "black 0-159, red 160-198, blue 199-199";
    QTest::newRow("peak after a tick") << QList<double>{-80, -80} << true << QList<double>{}
                                       << "black 0-159, pink 160-175, red 176-198, blue 199-199";
    QTest::newRow("no peak before the tick") << QList<double>{-80, -80} << false << QList<double>{}
                                             << "black 0-175, red 176-198, blue 199-199";
    QTest::newRow("vox at 10.3 dB") << QList<double>{} << false << QList<double>{10.3}
                                    << "blue 0-0, black 1-159, red 160-199";
    QTest::newRow("vox at -45.5 dB") << QList<double>{} << false << QList<double>{-45.5}
                                     << "black 0-121, blue 122-123, black 124-159, red 160-199";
    QTest::newRow("out of range ignored") << QList<double>{} << false << QList<double>{-45.5, -80.01, 10.31}
                                          << "black 0-121, blue 122-123, black 124-159, red 160-199";
}

void DialogsTest::levelMeter()
{
    QFETCH(QList<double>, levels);
    QFETCH(bool, tick);
    QFETCH(QList<double>, voxLevels);
    QFETCH(QString, shown);

    LevelMeter meter;
    meter.resize(50, 200);
    LogCapture log;
    for (qsizetype i = 0; i + 1 < levels.size(); i += 2)
        meter.levelChanged(levels[i], levels[i + 1]);
    for (double db : voxLevels)
        meter.setVoxLevel(db);
    if (tick)
        meter.redrawTimerExpired();
    QCOMPARE(bars(meter), shown);
    QCOMPARE(log.count("vox level changed"), qsizetype(voxLevels.count(-45.5) + voxLevels.count(10.3)));
}

void DialogsTest::levelMeterHoldAndLabels()
{
    LevelMeter meter;
    meter.resize(50, 200);
    // A 0 dB peak: the peak decays, the hold mark stays for 2 s.
    meter.levelChanged(-80, 0);
    QTest::qWait(300);
    meter.redrawTimerExpired();
    const QString shown = bars(meter);
    QVERIFY2(shown.startsWith("black 0-21, green 22-24, black 25-"), qPrintable(shown));

    // Labels stand at -60, -40, -20 and 0 dB only: ink left of the ticks just above each mark.
    const QImage image = meter.grab().toImage();
    const QRgb background = image.pixel(2, 199);
    for (int t = -70; t <= 0; t += 10) {
        const int y = int((1.0 - (t + 80) / 90.3) * 200);
        bool ink = false;
        for (int row = y - 3; row <= y + 2; ++row)
            for (int x = 0; x < 24; ++x)
                ink = ink || image.pixel(x, row) != background;
        QVERIFY2(ink == (t % 20 == 0), qPrintable(QString::number(t)));
        QVERIFY(image.pixel(26, y) != background);
    }
}

void DialogsTest::settingsOpenAndCancel_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<double>("shown");

    QTest::newRow("stored -45.5") << QByteArray("|system|\n\t|audio|\n\t\t|vox level| = |-45.5|\n") << -45.5;
    QTest::newRow("not a number") << QByteArray("|system|\n\t|audio|\n\t\t|vox level| = |abc|\n") << 0.0;
    QTest::newRow("below the range") << QByteArray("|system|\n\t|audio|\n\t\t|vox level| = |-120|\n") << -80.0;
    QTest::newRow("missing") << QByteArray("|system|\n\t|username| = |X|\n") << -80.0;
}

void DialogsTest::settingsOpenAndCancel()
{
    QFETCH(QByteArray, conf);
    QFETCH(double, shown);

    writeConfig(conf);
    const QByteArray before = readFile(gConfigFileName);
    SettingsDialog dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Settings Menu"));
    QCOMPARE(dialog.findChild<QDoubleSpinBox *>("voxLevel")->value(), shown);
    QCOMPARE(dialog.findChild<QSpinBox *>("voxTimeout")->value(), 100);
    QCOMPARE(dialog.findChild<QLineEdit *>("usernameEdit")->text(), QString("Operator 1"));
    QCOMPARE(dialog.findChild<QLabel *>("label_4")->text(), QString("ms"));
    dialog.reject();
    QCOMPARE(readFile(gConfigFileName), before);
}

void DialogsTest::settingsVoxValues()
{
    // No system/audio yet: the first change makes it.
    writeConfig("|system|\n\t|username| = |Operator 1|\n");
    SettingsDialog dialog;
    dialog.show();
    auto *level = dialog.findChild<QDoubleSpinBox *>("voxLevel");
    QCOMPARE(level->value(), -80.0);
    level->stepUp();
    QCOMPARE(value({"system", "audio", "vox level"}), QString("-79.9"));
    level->stepDown();
    QCOMPARE(value({"system", "audio", "vox level"}), QString("-80"));
    for (auto [typed, stored] : {std::pair{-45.5, "-45.5"}, {10.3, "10.3"}, {0.2, "0.2"}}) {
        level->setValue(typed);
        QCOMPARE(value({"system", "audio", "vox level"}), QString(stored));
    }
    // The VOX state follows the engine while the dialog is shown.
    auto *status = dialog.findChild<QLabel *>("status");
    QCOMPARE(status->text(), QString("inactive"));
    emit audio.voxChange(true);
    QCOMPARE(status->text(), QString("active"));
    dialog.hide();
    emit audio.voxChange(false);
    QCOMPARE(status->text(), QString("active"));
    dialog.show();
    dialog.findChild<QSpinBox *>("voxTimeout")->setValue(250);
    QCOMPARE(value({"system", "audio", "vox timeout"}), QString("250"));
    // Cancel keeps what is stored.
    dialog.reject();
    QCOMPARE(value({"system", "audio", "vox level"}), QString("0.2"));
    QCOMPARE(value({"system", "username"}), QString("Operator 1"));
}

void DialogsTest::settingsOk()
{
    for (const QString &name : {QString("Operator 2"), QString()}) {
        BoxCollector boxes;
        SettingsDialog dialog;
        auto *playback = dialog.findChild<QListWidget *>("playbackDevicesListWidget");
        // The engine's devices are not in the lists: none is current, and OK stores them again.
        QVERIFY(!playback->currentItem());
        QVERIFY(!dialog.findChild<QListWidget *>("captureDevicesListWidget")->currentItem());
        dialog.findChild<QLineEdit *>("usernameEdit")->setText(name);
        QTimer::singleShot(0, [&] { dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(boxes.texts, QStringList{"Warning: Please restart application to apply changes"});
        QCOMPARE(gOperatorName, name);
        QCOMPARE(value({"system", "username"}), name);
        QCOMPARE(value({"system", "audio", "output"}), QString("Gone Speaker"));
        QCOMPARE(value({"system", "audio", "input"}), QString("Gone Microphone"));
    }

    // A device chosen in the list.
    BoxCollector boxes;
    SettingsDialog dialog;
    auto *capture = dialog.findChild<QListWidget *>("captureDevicesListWidget");
    if (capture->count() > 0) {
        capture->setCurrentRow(0);
        QTimer::singleShot(0, [&] { dialog.accept(); });
        dialog.exec();
        QCOMPARE(value({"system", "audio", "input"}), capture->item(0)->text());
    }
}

void DialogsTest::settingsSaveFails()
{
    // zud.conf cannot be replaced by a directory's name: every save fails.
    QTemporaryDir blocked;
    const QString saved = gConfigFileName;
    gConfigFileName = blocked.filePath("zud.conf");
    QVERIFY(QDir(blocked.path()).mkdir("zud.conf"));
    BoxCollector boxes;
    {
        SettingsDialog dialog;
        dialog.show();
        auto *level = dialog.findChild<QDoubleSpinBox *>("voxLevel");
        level->stepUp();
        level->stepUp();
        dialog.findChild<QSpinBox *>("voxTimeout")->setValue(300);
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts.first().contains(gConfigFileName), qPrintable(boxes.texts.first()));
        QCOMPARE(gConfig.get({"system", "audio", "vox level"})->value, QString("-79.8"));
        QCOMPARE(gConfig.get({"system", "audio", "vox timeout"})->value, QString("300"));
        dialog.reject();
    }
    // A new opening tells it again; OK tells it once beside the restart note.
    {
        SettingsDialog dialog;
        dialog.show();
        dialog.findChild<QDoubleSpinBox *>("voxLevel")->stepDown();
        QTRY_COMPARE(boxes.texts.size(), 2);
        dialog.findChild<QLineEdit *>("usernameEdit")->setText("Operator 3");
        QTimer::singleShot(0, [&] { dialog.accept(); });
        dialog.exec();
        QTRY_COMPARE(boxes.texts.size(), 4);
        QCOMPARE(boxes.texts.at(2), QString("Warning: Please restart application to apply changes"));
        QVERIFY(boxes.texts.at(3).contains(gConfigFileName));
        QCOMPARE(gConfig.get({"system", "username"})->value, QString("Operator 3"));
    }
    gConfigFileName = saved;
}

void DialogsTest::deviceNames_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("two names") << QByteArray("a\0b\0\0", 5) << QStringList{"a", "b"};
    QTest::newRow("one empty name") << QByteArray("\0\0", 2) << QStringList{""};
    QTest::newRow("latin-1") << QByteArray("Ger\xe4t\0\0", 7) << QStringList{QString::fromLatin1("Ger\xe4t")};
    QTest::newRow("no enumeration") << QByteArray() << QStringList{};
}

void DialogsTest::deviceNames()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, names);
    QCOMPARE(deviceNameList(list.isNull() ? nullptr : list.constData()), names);
}

void DialogsTest::windowShortcuts()
{
    ZudMainWindow *window = gZudWindow;
    window->show();
    const QByteArray before = readFile(gConfigFileName);
    for (auto [key, modifier, title] : {std::tuple{Qt::Key_Escape, Qt::NoModifier, "Settings Menu"},
                                        std::tuple{Qt::Key_I, Qt::ControlModifier, "About"}}) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QString seen;
        BoxCollector boxes;
        boxes.onNextDialog([&seen](QDialog *dialog) {
            seen = dialog->windowTitle();
            dialog->reject();
        });
        QTest::keyClick(window, key, modifier);
        QTRY_COMPARE(seen, QString(title));
    }
    QCOMPARE(readFile(gConfigFileName), before);
    window->hide();
}

void DialogsTest::about()
{
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("About"));
    QCOMPARE(dialog.minimumSize(), QSize(265, 140));
    QCOMPARE(dialog.maximumSize(), QSize(266, 140));
    QVERIFY(!dialog.findChild<QLabel *>("label_2")->pixmap().isNull());
    const QString shown = dialog.findChild<QLabel *>("appid")->text();
    QVERIFY2(QRegularExpression("^id: [0-9a-f]{7} (mod\\[[0-9]+\\])?\n\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$").match(shown).hasMatch(),
             qPrintable(shown));
    QCOMPARE(appIdText("81d67e4", "2014-05-13_11:50", "0"), QString("id: 81d67e4 \n2014-05-13 11:50"));
    QCOMPARE(appIdText("81d67e4", "2014-05-13_11:50", "3"), QString("id: 81d67e4 mod[3]\n2014-05-13 11:50"));
}

void DialogsTest::newUnitAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("enabled");
    // Beside the field: why the address is refused.
    QTest::addColumn<QString>("why");

    for (const char *good : {"10.0.0.1", "192.168.1.255", "1.2.3.0", "192.0.2.1"})
        QTest::newRow(good) << "North" << good << true << "";
    const QString four = "An IP address is four numbers separated by dots, such as 192.168.1.20.";
    const QString missing = "A number is missing between the dots.";
    const QString zero = "An address beginning with 0 names no unit.";
    const QString loopback = "Addresses beginning with 127 are this PC's own (loopback), not a unit's.";
    const QString broadcast = "Addresses beginning with 255 are broadcast addresses, not a unit's.";
    const auto noNumber = [](const char *part) { return QString("\"%1\" is no number from 0 to 255.").arg(part); };
    const std::pair<const char *, QString> bad[]{
        {"0.1.2.3", zero},          {"127.1.1.1", loopback},       {"127.0.0.2", loopback},
        {"255.1.1.1", broadcast},   {"0.0.0.0", zero},             {"127.0.0.1", loopback},
        {"1.2.3", four},            {"1.2.3.4.5", four},           {"1..2.3", missing},
        {"1.2.3.", missing},        {"1.2.3.256", noNumber("256")}, {"1.2.3.0256", noNumber("0256")},
        {"1.2.3.-1", noNumber("-1")}, {"1.2.3.a", noNumber("a")},  {" 1.2.3.4", noNumber(" 1")},
        {"1.2.3.4 ", noNumber("4 ")}, {"1.2.3.+4", noNumber("+4")}, {"", ""}};
    for (const auto &[address, why] : bad)
        QTest::newRow(qPrintable("bad " + QString(address))) << "North" << address << false << why;
    QTest::newRow("no name") << "" << "10.0.0.1" << false << "";
}

void DialogsTest::newUnitAddress()
{
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(bool, enabled);
    QFETCH(QString, why);

    NewUnitDialog dialog;
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    auto *problem = dialog.findChild<QLabel *>("ipProblemLabel");
    QVERIFY(!ok->isEnabled());
    QVERIFY(problem->isHidden());
    dialog.findChild<QLineEdit *>("ipLineEdit")->setText(address);
    dialog.findChild<QLineEdit *>("nameLineEdit")->setText(name);
    QCOMPARE(ok->isEnabled(), enabled);
    QCOMPARE(NewUnitDialog::isValidIpAddress(address), enabled || (name.isEmpty() && !address.isEmpty()));
    QCOMPARE(problem->text(), why);
    QCOMPARE(problem->isHidden(), why.isEmpty());
}

// A configured unit's form takes the address zud.conf holds, whatever the rule for a new one says;
// another address meets the rule.
void DialogsTest::shownUnitKeepsItsAddress()
{
    NewUnitDialog dialog;
    dialog.showUnit("North", "127.0.0.2", 2, "pw");
    QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    auto *address = dialog.findChild<QLineEdit *>("ipLineEdit");
    auto *problem = dialog.findChild<QLabel *>("ipProblemLabel");
    QVERIFY(ok->isEnabled());
    QVERIFY(problem->isHidden());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    address->setText("127.0.0.3");
    QVERIFY(!ok->isEnabled());
    QCOMPARE(problem->text(), QString("Addresses beginning with 127 are this PC's own (loopback), not a unit's."));
    // The window grows to show the reason's every line.
    QTRY_VERIFY(problem->height() >= problem->heightForWidth(problem->width()));
    address->setText("127.0.0.2");
    QVERIFY(ok->isEnabled());
    QVERIFY(problem->isHidden());
}

void DialogsTest::newUnitAdded()
{
    BoxCollector boxes;
    // A refused unit's form comes back as typed; the operator then cancels it.
    QStringList shownAgain;
    auto add = [&](const QString &name, const QString &address) {
        boxes.onNextDialog([&, name, address](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QString("New Central Unit"));
            dialog->findChild<QLineEdit *>("nameLineEdit")->setText(name);
            dialog->findChild<QLineEdit *>("ipLineEdit")->setText(address);
            dialog->findChild<QLineEdit *>("passwordLineEdit")->setText(" se cret");
            dialog->accept();
            boxes.onNextDialog([&](QDialog *again) {
                shownAgain << again->findChild<QLineEdit *>("nameLineEdit")->text() + " "
                                  + again->findChild<QLineEdit *>("ipLineEdit")->text();
                again->reject();
            });
        });
        gZudWindow->connectionsTree()->addCentralUnitAction();
        boxes.onNextDialog(nullptr);
    };
    // Nothing answers at the documentation address: the namespace has no route to it.
    add("North", "192.0.2.1");
    QVERIFY(manager->findUnit("North"));
    QCOMPARE(value({"devices", "North", "IP Address"}), QString("192.0.2.1"));
    QCOMPARE(value({"devices", "North", "ttl"}), QString("2"));
    QCOMPARE(value({"devices", "North", "audio gain"}), QString("0"));
    QCOMPARE(value({"devices", "North", "password"}), QString(" se cret"));
    QCOMPARE(gZudWindow->connectionsTree()->findItems("North", Qt::MatchExactly).size(), 1);
    QCOMPARE(boxes.texts, QStringList{});

    const QByteArray before = readFile(gConfigFileName);
    add("North", "192.0.2.2");
    add("South", "192.0.2.1");
    QCOMPARE(boxes.texts, (QStringList{"Error: Provided name is in use!", "Error: Provided IP Address is in use!"}));
    QCOMPARE(shownAgain, (QStringList{"North 192.0.2.2", "South 192.0.2.1"}));
    QVERIFY(!manager->findUnit("South"));
    QCOMPARE(readFile(gConfigFileName), before);
    QCOMPARE(manager->removeUnit("North"), UnitChange::Done);
}

void DialogsTest::newUnitValueZudConfCannotHold_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("box");
    const QString name = R"(Error: Provided name cannot hold "|", a TAB or a line break!)";
    const QString password = R"(Error: Provided password cannot hold "|", a TAB or a line break!)";
    QTest::newRow("bar in the name") << "No|rth" << "pw" << name;
    QTest::newRow("TAB in the name") << "No\trth" << "pw" << name;
    QTest::newRow("bar in the password") << "North" << "p|w" << password;
    QTest::newRow("TAB in the password") << "North" << "p\tw" << password;
}

// The operator is told which value was refused and gets the dialog back as typed; zud.conf stays.
void DialogsTest::newUnitValueZudConfCannotHold()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, box);
    const QByteArray before = readFile(gConfigFileName);
    BoxCollector boxes;
    QStringList shownAgain;
    boxes.onNextDialog([&](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("nameLineEdit")->setText(name);
        dialog->findChild<QLineEdit *>("ipLineEdit")->setText("192.0.2.7");
        dialog->findChild<QLineEdit *>("passwordLineEdit")->setText(password);
        dialog->accept();
        boxes.onNextDialog([&](QDialog *again) {
            for (const char *field : {"nameLineEdit", "ipLineEdit", "passwordLineEdit"})
                shownAgain << again->findChild<QLineEdit *>(field)->text();
            again->reject();
        });
    });
    gZudWindow->connectionsTree()->addCentralUnitAction();
    QCOMPARE(boxes.texts, QStringList{box});
    QCOMPARE(shownAgain, (QStringList{name, "192.0.2.7", password}));
    QVERIFY(manager->centralUnits().isEmpty());
    QCOMPARE(readFile(gConfigFileName), before);
}

void DialogsTest::centralUnitsFrame()
{
    CentralUnitsDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("Central Units Settings"));
    auto *units = dialog.findChild<QTreeWidget *>("unitsTreeWidget");
    QCOMPARE(units->columnCount(), 5);
    QVERIFY(units->isColumnHidden(0));
    QStringList headers;
    for (int column = 1; column < 5; ++column)
        headers << units->headerItem()->text(column);
    QCOMPARE(headers, (QStringList{"Name", "IP Address", "Login", "Passwort"}));
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->standardButtons(), QDialogButtonBox::Close);
}

void DialogsTest::radioConnectionLoad_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<bool>("useDefault");
    QTest::addColumn<bool>("shared");
    QTest::addColumn<int>("priority");
    QTest::addColumn<bool>("crosstalk");

    QTest::newRow("nothing stored") << QByteArray() << false << true << 0 << false;
    QTest::newRow("defaults section only")
        << QByteArray("|default|\n\t|radio connection|\n\t\t|type| = |exclusive|\n\t\t|priority| = |7|\n")
        << false << false << 7 << false;
    QTest::newRow("uses defaults, shows own")
        << QByteArray("|devices|\n\t|CU|\n\t\t|radio connections|\n\t\t\t|R1|\n\t\t\t\t|default| = |1|\n"
                      "\t\t\t\t|type| = |exclusive|\n\t\t\t\t|priority| = |-3|\n\t\t\t\t|crosstalk| = |1|\n")
        << true << false << -3 << true;
    QTest::newRow("priority above range, no number crosstalk")
        << QByteArray("|devices|\n\t|CU|\n\t\t|radio connections|\n\t\t\t|R1|\n\t\t\t\t|priority| = |250|\n"
                      "\t\t\t\t|crosstalk| = |x|\n")
        << false << true << 100 << false;
}

void DialogsTest::radioConnectionLoad()
{
    QFETCH(QByteArray, conf);
    QFETCH(bool, useDefault);
    QFETCH(bool, shared);
    QFETCH(int, priority);
    QFETCH(bool, crosstalk);

    writeConfig(conf);
    RadioConnectionSettingsDialog dialog("R1", "CU");
    auto *useDefaults = dialog.findChild<QCheckBox *>("defaultSettingsCheckbox");
    auto *frame = dialog.findChild<QFrame *>("variableFrame");
    QCOMPARE(dialog.findChild<QLabel *>("radioLabel")->text(), QString("R1"));
    QCOMPARE(dialog.findChild<QLabel *>("centralUnitLabel")->text(), QString("CU"));
    QCOMPARE(useDefaults->isChecked(), useDefault);
    QCOMPARE(frame->isEnabled(), !useDefault);
    QCOMPARE(dialog.findChild<QRadioButton *>("sharedRadioButton")->isChecked(), shared);
    QCOMPARE(dialog.findChild<QSpinBox *>("prioritySpinBox")->value(), priority);
    QCOMPARE(dialog.findChild<QCheckBox *>("crosstalkCheckbox")->isChecked(), crosstalk);
    useDefaults->setChecked(!useDefault);
    QCOMPARE(frame->isEnabled(), useDefault);

    QCOMPARE(dialog.save(), 0);
    const QStringList radio{"devices", "CU", "radio connections", "R1"};
    QCOMPARE(value(radio + QStringList{"default"}), QString(useDefault ? "0" : "1"));
    QCOMPARE(value(radio + QStringList{"type"}), QString(shared ? "shared" : "exclusive"));
    QCOMPARE(value(radio + QStringList{"priority"}), QString::number(priority));
    QCOMPARE(value(radio + QStringList{"crosstalk"}), QString(crosstalk ? "1" : "0"));
}

void DialogsTest::dialogSavesFail()
{
    QTemporaryDir blocked;
    const QString saved = gConfigFileName;
    gConfigFileName = blocked.filePath("zud.conf");
    QVERIFY(QDir(blocked.path()).mkdir("zud.conf"));
    BoxCollector boxes;
    RadioConnectionSettingsDialog radio("R1", "CU");
    radio.findChild<QSpinBox *>("prioritySpinBox")->setValue(9);
    QVERIFY(radio.save() != 0);
    MonitorGainSettingsDialog monitor("CU");
    monitor.findChild<QSpinBox *>("gainSpinBox")->setValue(-4);
    QVERIFY(monitor.save() != 0);
    QTRY_COMPARE(boxes.texts.size(), 2);
    for (const QString &text : boxes.texts)
        QVERIFY2(text.contains(gConfigFileName), qPrintable(text));
    QCOMPARE(gConfig.get({"devices", "CU", "radio connections", "R1", "priority"})->value, QString("9"));
    QCOMPARE(gConfig.get({"devices", "CU", "monitor gain"})->value, QString("-4"));
    gConfigFileName = saved;
}

void DialogsTest::monitorGain()
{
    writeConfig("|default|\n\t|monitor|\n\t\t|gain| = |5|\n|devices|\n\t|CU|\n\t\t|monitor gain| = |-45|\n");
    MonitorGainSettingsDialog dialog("CU");
    QCOMPARE(dialog.windowTitle(), QString("Monitor Gain Settings"));
    auto *gain = dialog.findChild<QSpinBox *>("gainSpinBox");
    QCOMPARE(gain->value(), -30);
    QCOMPARE(dialog.save(), 0);
    QCOMPARE(value({"devices", "CU", "monitor gain"}), QString("-30"));

    writeConfig("|default|\n\t|monitor|\n\t\t|gain| = |5|\n");
    QCOMPARE(MonitorGainSettingsDialog("CU").findChild<QSpinBox *>("gainSpinBox")->value(), 5);
    writeConfig("");
    QCOMPARE(MonitorGainSettingsDialog("CU").findChild<QSpinBox *>("gainSpinBox")->value(), 0);
}

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"
