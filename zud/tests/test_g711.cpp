// G.711 µ-law and the gain steps against Python's audioop, which the test runs as its reference.
#include "g711.h"

#include <QProcess>
#include <QtTest>

#include <cmath>

namespace {

// Runs a Python 3 snippet and returns what it wrote on its standard output.
QByteArray python(const char *script)
{
    QProcess process;
    process.start("python3", {"-W", "ignore", "-c", script});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("python3 failed: %s", process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

} // namespace

class TestG711 : public QObject
{
    Q_OBJECT

private slots:
    void encodeIsAudioopOfTheSampleRoundedDown()
    {
        // audioop's code of every sample, and of the sample rounded down to a multiple of 8.
        const QByteArray reference = python(
            "import audioop, struct, sys\n"
            "pcm = struct.pack('<65536h', *range(-32768, 32768))\n"
            "down = struct.pack('<65536h', *((s >> 3) << 3 for s in range(-32768, 32768)))\n"
            "sys.stdout.buffer.write(audioop.lin2ulaw(pcm, 2) + audioop.lin2ulaw(down, 2))\n");
        QCOMPARE(reference.size(), 2 * 65536);
        int below = 0;
        for (int s = -32768; s < 32768; ++s) {
            const int exact = quint8(reference[s + 32768]);
            const int rounded = quint8(reference[65536 + s + 32768]);
            const int code = linearToUlaw(qint16(s));
            if (code != rounded)
                QFAIL(qPrintable(QString("sample %1: code %2, audioop %3").arg(s).arg(code).arg(rounded)));
            // Dropping three bits costs one step at the top of some steps: positive samples only,
            // there the code is audioop's plus one (one step nearer to zero).
            if (code != exact) {
                QVERIFY2(s > 0 && code == exact + 1, qPrintable(QString::number(s)));
                ++below;
            }
        }
        QCOMPARE(below, 508);
    }

    void decodeIsAudioopForEveryCode()
    {
        const QByteArray reference = python(
            "import audioop, sys\n"
            "sys.stdout.buffer.write(audioop.ulaw2lin(bytes(range(256)), 2))\n");
        QCOMPARE(reference.size(), 512);
        for (int code = 0; code < 256; ++code) {
            const qint16 expected = qint16(quint8(reference[2 * code]) | quint8(reference[2 * code + 1]) << 8);
            QCOMPARE(ulawToLinear(quint8(code)), expected);
        }
        QCOMPARE(ulawToLinear(0x00), qint16(-32124));
        QCOMPARE(ulawToLinear(0xFF), qint16(0));
    }

    void gainFactorsAreRoundedDecibels()
    {
        for (int dB = minGainDb; dB <= maxGainDb; ++dB)
            QCOMPARE(gainFactors[dB - minGainDb], qint32(std::lround(65536 * std::pow(10.0, dB / 20.0))));
        QCOMPARE(gainFactors[0], 23253);
        QCOMPARE(gainFactors[9], 65536);
        QCOMPARE(gainFactors[10], 73533);
        QCOMPARE(gainFactors[18], 184706);
    }

    void applyGain_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("dB");
        QTest::addColumn<int>("expected");
        // The shift rounds toward minus infinity: the two full-scale codes end one apart.
        QTest::newRow("-9 dB, code 0x00") << -32124 << -9 << -11399;
        QTest::newRow("-9 dB, code 0x80") << 32124 << -9 << 11398;
        QTest::newRow("-9 dB, -1") << -1 << -9 << -1;
        QTest::newRow("-9 dB, 1") << 1 << -9 << 0;
        QTest::newRow("0 dB, unchanged") << -31100 << 0 << -31100;
        QTest::newRow("+1 dB") << 100 << 1 << 112;
        // 32124 * 184706 does not fit 32 bits; the result saturates.
        QTest::newRow("+9 dB, code 0x80") << 32124 << 9 << 32767;
        QTest::newRow("+9 dB, code 0x00") << -32124 << 9 << -32768;
        QTest::newRow("+9 dB, small") << 100 << 9 << 281;
    }

    void applyGain()
    {
        QFETCH(int, sample);
        QFETCH(int, dB);
        QFETCH(int, expected);
        QCOMPARE(int(::applyGain(qint16(sample), dB)), expected);
    }
};

QTEST_APPLESS_MAIN(TestG711)
#include "test_g711.moc"
