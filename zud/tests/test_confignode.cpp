#include "confignode.h"
#include "logcapture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The tree as indented "key=value" lines, in its children's order.
QString shape(const ConfigNode &node, int depth = 0)
{
    QString out;
    for (const auto &child : node.children)
        out += QString(depth, ' ') + child->key + '=' + child->value + '\n' + shape(*child, depth + 1);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as written, without its header line (which holds the date) and the blank line after it.
QByteArray body(const QString &path)
{
    const QByteArray all = readFile(path);
    return all.mid(all.indexOf("\n\n") + 2);
}

bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}
}

class ConfigNodeTest : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void writesSortedWithoutEmptyValues();
    void roundTripsLongAndUtf8Values();
    void pathOperations();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();

private:
    QTemporaryDir dir;
};

void ConfigNodeTest::reads_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("message");

    QTest::newRow("nested, header and blank lines skipped")
        << QByteArray("# config file x\n\n|system|\n\t|username| = |Op|\n\t|audio|\n\t\t|vox level| = |-60|\n|devices|\n")
        << 0 << "system=\n username=Op\n audio=\n  vox level=-60\ndevices=\n" << QString();
    QTest::newRow("first entry indented: nothing") << QByteArray("\t|a| = |1|\n|b|\n") << 0 << "" << QString();
    QTest::newRow("depth jumps by two") << QByteArray("|a|\n\t\t|b|\n") << -4 << "a=\n" << "Line 2 : error -4";
    QTest::newRow("value not closed") << QByteArray("|a| = |1|\n|b| = |2\n") << -3 << "a=1\n"
                                      << "Error (-3) reading configuration at line 2!";
    QTest::newRow("key not closed") << QByteArray("|a|\n|b\n") << -2 << "a=\n"
                                    << "Error (-2) reading configuration at line 2!";
    QTest::newRow("indented line without a bar skipped") << QByteArray("|a|\n\tnothing\n\t|b|\n") << 0
                                                         << "a=\n b=\n" << QString();
    QTest::newRow("back two levels") << QByteArray("|a|\n\t|b|\n\t\t|c|\n|d| = |x|\n") << 0
                                     << "a=\n b=\n  c=\nd=x\n" << QString();
    QTest::newRow("no file") << QByteArray() << -1 << "" << QString();
}

void ConfigNodeTest::reads()
{
    QFETCH(QByteArray, text);
    QFETCH(int, result);
    QFETCH(QString, tree);
    QFETCH(QString, message);

    const QString path = dir.filePath("read.conf");
    QFile::remove(path);
    if (result != -1)
        writeFile(path, text);
    LogCapture log;
    ConfigNode root;
    QCOMPARE(root.load(path), result);
    QCOMPARE(shape(root), tree);
    if (!message.isEmpty())
        QVERIFY2(log.lines.contains(message), qPrintable(log.lines.join('\n')));
}

void ConfigNodeTest::writesSortedWithoutEmptyValues()
{
    ConfigNode root;
    root.set({"devices", "Unit B", "ttl"})->value = "3";
    root.set({"devices", "Unit A"});
    root.addChild("system")->addChild("username", "Op");
    root.get({"devices"})->addChild("Unit A", "second");
    root.addChild("bar|key", "bar|value");

    const QString path = dir.filePath("sorted.conf");
    QCOMPARE(root.save(path), 0);
    // ctime's date: English names, the day of the month two wide ("Apr  7").
    const QRegularExpression ctimeHeader("^# config file (Mon|Tue|Wed|Thu|Fri|Sat|Sun) "
                                         "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[1-3]\\d) "
                                         "\\d\\d:\\d\\d:\\d\\d \\d{4}\n\n\\|");
    QVERIFY2(ctimeHeader.match(QString::fromLatin1(readFile(path))).hasMatch(), readFile(path).left(40).constData());
    QCOMPARE(body(path), QByteArray("|bar|key| = |bar|value|\n"
                                    "|devices|\n"
                                    "\t|Unit A|\n"
                                    "\t|Unit A| = |second|\n"
                                    "\t|Unit B|\n"
                                    "\t\t|ttl| = |3|\n"
                                    "|system|\n"
                                    "\t|username| = |Op|\n"));

    // A bar inside a key or value is written as it is, and does not come back the same.
    ConfigNode again;
    QCOMPARE(again.load(path), 0);
    QCOMPARE(again.children.front()->key, QString("bar"));
}

void ConfigNodeTest::roundTripsLongAndUtf8Values()
{
    ConfigNode root;
    const QString longValue(10000, QChar('x'));
    const QString unit = QStringLiteral("Zentrale Süd – Ω");
    root.set({"devices", unit, "IP Address"})->value = "10.0.0.1";
    root.set({"system", "username"})->value = longValue;

    const QString path = dir.filePath("long.conf");
    QCOMPARE(root.save(path), 0);
    ConfigNode loaded;
    QCOMPARE(loaded.load(path), 0);
    QCOMPARE(shape(loaded), shape(root));
    QCOMPARE(loaded.get({"system", "username"})->value, longValue);
    QVERIFY(loaded.get({"devices", unit, "IP Address"}));
}

void ConfigNodeTest::pathOperations()
{
    ConfigNode root;
    QVERIFY(!root.get({"a", "b"}));
    ConfigNode *b = root.set({"a", "b"});
    QCOMPARE(root.set({"a", "b"}), b);
    QCOMPARE(root.get({"a", "b"}), b);
    QCOMPARE(root.remove({"a", "missing"}), -400);
    QCOMPARE(root.remove({"missing"}), -400);
    QCOMPARE(root.remove({"a", "b"}), 0);
    QCOMPARE(shape(root), QString("a=\n"));
}

void ConfigNodeTest::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("directory not writable") << "read-only";
    QTest::newRow("file system full") << "full";
}

void ConfigNodeTest::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, how);
    // A small file system of the test's own, in the private mount namespace the test runs in.
    QTemporaryDir mountPoint;
    QVERIFY(run("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint.path()}));
    const QString path = mountPoint.filePath("zud.conf");
    const QByteArray old = "# config file old\n\n|system|\n\t|username| = |Old|\n";
    writeFile(path, old);

    ConfigNode root;
    root.set({"system", "username"})->value = "New";
    if (how == "read-only") {
        QVERIFY(run("mount", {"-o", "remount,ro", mountPoint.path()}));
    } else {
        root.set({"system", "big"})->value = QString(200000, QChar('y'));
    }

    LogCapture log;
    QVERIFY(root.save(path) < 0);
    QVERIFY2(log.contains("ERROR: cannot write configuration"), qPrintable(log.lines.join('\n')));
    QCOMPARE(readFile(path), old);
    QVERIFY(run("umount", {mountPoint.path()}));
}

QTEST_GUILESS_MAIN(ConfigNodeTest)
#include "test_confignode.moc"
