// Handset records: key records byte for byte (decoded with Qt's own base64, not the product's),
// the base64 rules, id texts, and the checks on records from the network.
#include "ktxrecord.h"

#include <QTest>

namespace {

QByteArray header(quint16 kind, int windowType = 0)
{
    QByteArray bytes(KtxRecord::kHeaderSize, '\0');
    bytes[0] = char(kind & 0xff);
    bytes[1] = char(kind >> 8);
    bytes[10] = char(windowType);
    return bytes;
}

} // namespace

class KtxRecordTest : public QObject {
    Q_OBJECT

private slots:
    void keyRecords_data();
    void keyRecords();
    void base64_data();
    void base64();
    void idTexts_data();
    void idTexts();
    void receivedRecords_data();
    void receivedRecords();
    void receivedData_data();
    void receivedData();
};

void KtxRecordTest::keyRecords_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text"); // null: no text
    QTest::addColumn<QByteArray>("keyText");

    QTest::newRow("button 3") << 3 << QByteArray() << QByteArray("3");
    QTest::newRow("OK with an item") << 11 << QByteArray("2;Channel") << QByteArray("11;2;Channel");
    QTest::newRow("selection moved with a text") << -1 << QByteArray("x") << QByteArray("-1");
    QTest::newRow("cancel with an empty text") << 10 << QByteArray("") << QByteArray("10");
    QTest::newRow("300 characters cut at 255") << 11 << QByteArray(300, 'w')
        << QByteArray("11;" + QByteArray(252, 'w'));
}

void KtxRecordTest::keyRecords()
{
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, keyText);
    QCOMPARE(ktxKeyText(code, text.isNull() ? nullptr : text.constData()), keyText);

    const QByteArray record = KtxRecord::keyRecord(200, 300, keyText);
    const int length = 32 + keyText.size();
    QByteArray expected("\x12\x00\xc8\x00\x2c\x01", 6);
    expected += char(length & 0xff);
    expected += char(length >> 8);
    expected += QByteArray(24, '\0') + keyText;
    QCOMPARE(record, expected);

    // "data|" + the number of base64 characters + "|" + the base64 of the record.
    const QString message = ktxDataMessage(record);
    const QStringList parts = message.split('|');
    QCOMPARE(parts.size(), 3);
    QCOMPARE(parts[0], QString("data"));
    QCOMPARE(parts[1].toInt(), parts[2].size());
    QCOMPARE(QByteArray::fromBase64(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors), expected);
    if (code == 3)
        QVERIFY(message.startsWith("data|44|") && message.size() == 8 + 44);
    if (keyText.size() == 12)
        QCOMPARE(length, 44);
    if (text.size() == 300)
        QCOMPARE(length, 287);
}

void KtxRecordTest::base64_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("one byte, two pads") << QByteArray("QQ==") << true << QByteArray("A");
    QTest::newRow("two bytes, one pad") << QByteArray("QUI=") << true << QByteArray("AB");
    QTest::newRow("three bytes") << QByteArray("QUJD") << true << QByteArray("ABC");
    QTest::newRow("octets above 127") << QByteArray("yP8A") << true << QByteArray("\xc8\xff\x00", 3);
    QTest::newRow("empty") << QByteArray("") << true << QByteArray("");
    QTest::newRow("six characters") << QByteArray("QUJDRE") << false << QByteArray();
    QTest::newRow("outside the alphabet counts as 0") << QByteArray("!!!!") << true << QByteArray(3, '\0');
    QTest::newRow("= inside counts as 0") << QByteArray("Q=JD") << true << QByteArray("@\x02\x43", 3);
}

void KtxRecordTest::base64()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, decodes);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> decoded = base64Decode(text);
    QCOMPARE(decoded.has_value(), decodes);
    if (!decodes)
        return;
    QCOMPARE(*decoded, bytes);
    if (text.count('=') <= 2 && !text.contains('!') && text.indexOf('=') != 1)
        QCOMPARE(base64Encode(bytes), text);
}

void KtxRecordTest::idTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("userId");
    QTest::addColumn<QString>("radioName");
    QTest::addColumn<int>("radioId");

    QTest::newRow("four parts") << QByteArray("KTX:200:Radio 1:300") << true << 200 << "Radio 1" << 300;
    QTest::newRow("empty parts kept") << QByteArray(":::") << true << 0 << "" << 0;
    QTest::newRow("ids kept to 16 bits") << QByteArray("x:70000:R:65537") << true << 4464 << "R" << 1;
    QTest::newRow("three parts") << QByteArray("KTX:200:Radio 1") << false << 0 << "" << 0;
    QTest::newRow("five parts") << QByteArray("KTX:200:Radio:1:300") << false << 0 << "" << 0;
}

void KtxRecordTest::idTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(int, userId);
    QFETCH(QString, radioName);
    QFETCH(int, radioId);
    const std::optional<KtxIdText> id = KtxIdText::parse(text);
    QCOMPARE(id.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(int(id->userId), userId);
    QCOMPARE(id->radioName, radioName);
    QCOMPARE(int(id->radioId), radioId);
}

void KtxRecordTest::receivedRecords_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("windowType");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("0 bytes") << QByteArray() << false << 0 << 0 << QByteArray();
    QTest::newRow("10 bytes") << QByteArray(10, '\x02') << false << 0 << 0 << QByteArray();
    QTest::newRow("32 bytes") << header(512, 1) << false << 0 << 0 << QByteArray();
    QTest::newRow("33 bytes, an empty payload") << header(512, 1) + QByteArray(1, '\0') << true << 512 << 1
        << QByteArray(1, '\0');
    QTest::newRow("new window") << header(512, 6) + QByteArray("o:progress=40|c:x", 18) << true << 512 << 6
        << QByteArray("o:progress=40|c:x", 18);
    QTest::newRow("bytes behind the NUL") << header(513) + QByteArray("o:to=1\0junk", 11) << true << 513 << 0
        << QByteArray("o:to=1", 7);
    QTest::newRow("window payload without a NUL") << header(512, 2) + "o:|c:text" << false << 0 << 0 << QByteArray();
    QTest::newRow("update without a NUL") << header(513) + "o:|c:text" << false << 0 << 0 << QByteArray();
    QTest::newRow("other kind") << header(18) + "3" << true << 18 << 0 << QByteArray();
}

void KtxRecordTest::receivedRecords()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(int, kind);
    QFETCH(int, windowType);
    QFETCH(QByteArray, payload);
    QString why;
    const std::optional<KtxRecord> record = KtxRecord::decode(bytes, &why);
    QCOMPARE(record.has_value(), accepted);
    QCOMPARE(why.isEmpty(), accepted);
    if (!accepted)
        return;
    QCOMPARE(int(record->kind), kind);
    QCOMPARE(record->windowType, windowType);
    QCOMPARE(record->payload, payload);
    QVERIFY(record->payload.isEmpty() || record->payload.endsWith('\0'));
}

void KtxRecordTest::receivedData_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("whole text") << 8 << "QUJDREVG" << true << QByteArray("ABCDEF");
    QTest::newRow("first characters only") << 4 << "QUJDREVG" << true << QByteArray("ABC");
    QTest::newRow("length 1000 with 8 characters") << 1000 << "QUJDREVG" << false << QByteArray();
    QTest::newRow("negative length") << -4 << "QUJDREVG" << false << QByteArray();
    QTest::newRow("6 characters") << 6 << "QUJDRE" << false << QByteArray();
}

void KtxRecordTest::receivedData()
{
    QFETCH(int, length);
    QFETCH(QString, data);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, bytes);
    QString why;
    const std::optional<QByteArray> decoded = decodeKtxData(length, data, &why);
    QCOMPARE(decoded.has_value(), accepted);
    QCOMPARE(why.isEmpty(), accepted);
    if (accepted)
        QCOMPARE(*decoded, bytes);
}

QTEST_MAIN(KtxRecordTest)
#include "test_ktxrecord.moc"
