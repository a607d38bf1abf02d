#include "wireformat.h"

#include <QTest>

class WireFormatTest : public QObject
{
    Q_OBJECT
private slots:
    void encodes_data();
    void encodes();
    void readsAnySplit();
    void boundsAMessage();
};

void WireFormatTest::encodes_data()
{
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("two tokens") << QStringList{"list", "users"} << QByteArray("list\0users\0\0", 12) << true;
    QTest::newRow("empty password left out") << QStringList{"login", "ZUD Operator", "49000", ""}
                                             << QByteArray("login\0ZUD Operator\0" "49000\0\0", 26) << true;
    QTest::newRow("two trailing empties") << QStringList{"a", "", ""} << QByteArray("a\0\0", 3) << true;
    QTest::newRow("empty operator name") << QStringList{"login", "", "49000", "pw1"} << QByteArray() << false;
    QTest::newRow("token holding a NUL") << QStringList{"ktx", QString("a") + QChar(0) + "b"} << QByteArray() << false;
}

void WireFormatTest::encodes()
{
    QFETCH(QStringList, tokens);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sendable);
    const std::optional<QByteArray> got = encodeMessage(tokens);
    QCOMPARE(got.has_value(), sendable);
    if (sendable)
        QCOMPARE(*got, bytes);
}

void WireFormatTest::readsAnySplit()
{
    // Two replies glued, an empty message between them, and a status report cut short at the end.
    static const char bytes[] = "ok\0" "4000\0\0" "\0" "status\0alive\0\0" "error\0wrong password\0\0" "stat";
    const QByteArray stream(bytes, sizeof bytes - 1);
    const QList<QStringList> expected{{"ok", "4000"}, {"status", "alive"}, {"error", "wrong password"}};
    for (qsizetype cut1 = 0; cut1 <= stream.size(); ++cut1) {
        for (qsizetype cut2 = cut1; cut2 <= stream.size(); ++cut2) {
            MessageReader reader;
            QList<QStringList> got;
            QVERIFY(reader.append(stream.left(cut1), got));
            QVERIFY(reader.append(stream.mid(cut1, cut2 - cut1), got));
            QVERIFY(reader.append(stream.mid(cut2), got));
            QCOMPARE(got, expected);
            // The cut report completes with its next bytes.
            QVERIFY(reader.append(QByteArray("us\0x\0\0", 6), got));
            QCOMPARE(got.last(), (QStringList{"status", "x"}));
        }
    }
}

void WireFormatTest::boundsAMessage()
{
    const QByteArray token(64 * 1024, 'a');
    QByteArray tokens;
    for (int i = 0; i < 16; ++i)
        tokens += token + '\0';

    // 16 tokens of 64 KiB and their NULs: just past the bound, in pieces or whole.
    MessageReader reader;
    QList<QStringList> got;
    QVERIFY(!reader.append(tokens, got));
    QVERIFY(got.isEmpty());
    QVERIFY(reader.append(QByteArray("ok\0\0", 4), got));
    QCOMPARE(got, QList<QStringList>{{"ok"}});

    MessageReader unended;
    QVERIFY(unended.append(QByteArray(MessageReader::maxMessageBytes, 'b'), got));
    QVERIFY(!unended.append("b", got));

    // Up to the bound is fine.
    MessageReader large;
    got.clear();
    QVERIFY(large.append(tokens.left(tokens.size() - 17) + QByteArray(2, '\0'), got));
    QCOMPARE(got.size(), 1);
}

QTEST_GUILESS_MAIN(WireFormatTest)
#include "test_wireformat.moc"
