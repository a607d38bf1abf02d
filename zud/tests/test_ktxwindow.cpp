// The handset window base (payload split, common options, hold overlay) and the status text
// window. Payloads go in as heap buffers of exactly their size, so the AddressSanitizer build of
// this test sees any read past the NUL.
#include "ktxabstract.h"
#include "ktxtext.h"
#include "ledmatrix.h"
#include "ledpicture.h"
#include "payload.h"

#include <QLabel>
#include <QTest>

#include <climits>

namespace {

constexpr QRgb kMarker = 0xffff0000;

// Records what the split hands on, and reads the options as the info, choice and accept windows do.
class ProbeWindow : public KTXAbstract {
public:
    void parseOptions(char* options) override
    {
        options_.append(QString::fromLatin1(options));
        parseCommonOptions(options);
    }
    void parseContent(char* content) override { contents_.append(QString::fromLatin1(content)); }

    QStringList options_;
    QStringList contents_;
};

LedMatrix* matrixOf(QWidget& window)
{
    return window.findChild<LedMatrix*>("text");
}

void mark(LedMatrix& matrix)
{
    for (int row = 0; row < matrix.rows(); ++row)
        for (int column = 0; column < matrix.columns(); ++column)
            matrix.setColorAt(row, column, kMarker, false);
}

// The hold box from row 12 to the given bottom row, two LEDs thick, its inside dark, the
// hourglass at (17, 54); outside it the marker.
LedPicture holdBox(int bottom)
{
    LedPicture picture(64, 128, 'x');
    for (int row = 12; row < bottom; ++row)
        for (int column = 2; column < 124; ++column)
            picture.set(row, column, '.');
    for (int row = 12; row <= bottom; ++row)
        for (int column : {1, 2, 124, 125})
            picture.set(row, column, '#');
    for (int column = 2; column <= 124; ++column)
        for (int row : {11, 12, bottom, bottom + 1})
            picture.set(row, column, '#');
    picture.drawCell(LedGlyphTable::instance().hold(), 17, 54);
    return picture;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class KtxWindowTest : public QObject {
    Q_OBJECT

private slots:
    void splitAndCommonOptions_data();
    void splitAndCommonOptions();
    void placeholderHold();
    void holdOverlay_data();
    void holdOverlay();
    void statusText_data();
    void statusText();
    void statusTextIgnoresUpdates();
    void statusTextIsOnePaint();
};

void KtxWindowTest::splitAndCommonOptions_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("options");  // what reached parseOptions
    QTest::addColumn<QStringList>("contents"); // what reached parseContent
    QTest::addColumn<int>("timeout");
    QTest::addColumn<QString>("title");        // "<null>": never set
    QTest::addColumn<int>("ok");
    QTest::addColumn<int>("cancel");

    const QStringList none;
    QTest::newRow("options and content") << QByteArray("o:to=5;title=Menu;ok=1|c:abc")
        << QStringList{"to=5;title=Menu;ok=1"} << QStringList{"abc"} << 5 << "Menu" << 1 << 0;
    QTest::newRow("o: alone") << QByteArray("o:|c:abc") << none << QStringList{"abc"} << 0 << "<null>" << 0 << 0;
    QTest::newRow("content only") << QByteArray("c:abc") << none << none << 0 << "<null>" << 0 << 0;
    QTest::newRow("two content pieces") << QByteArray("o:cancel=1|c:one|c:two")
        << QStringList{"cancel=1"} << QStringList{"one"} << 0 << "<null>" << 0 << 1;
    QTest::newRow("c: alone") << QByteArray("o:ok=2|c:") << QStringList{"ok=2"} << none << 0 << "<null>" << 2 << 0;
    QTest::newRow("to= without digits") << QByteArray("o:to=;to=x;ok=|c:a")
        << QStringList{"to=;to=x;ok="} << QStringList{"a"} << 0 << "<null>" << 0 << 0;
    QTest::newRow("ti") << QByteArray("o:ti;tit;title") << QStringList{"ti;tit;title"} << none << 0 << "<null>" << 0 << 0;
    QTest::newRow("empty title") << QByteArray("o:title=") << QStringList{"title="} << none << 0 << "" << 0 << 0;
    QTest::newRow("signs and trailing characters") << QByteArray("o:to=-12s;ok=+3;cancel= 7x")
        << QStringList{"to=-12s;ok=+3;cancel= 7x"} << none << -12 << "<null>" << 3 << 7;
    QTest::newRow("later pieces win") << QByteArray("o:title=A;to=1;title=B;to=2")
        << QStringList{"title=A;to=1;title=B;to=2"} << none << 2 << "B" << 0 << 0;
    QTest::newRow("title up to a line feed") << QByteArray("o:title=Line one\nrest;ok=1")
        << QStringList{"title=Line one\nrest;ok=1"} << none << 0 << "Line one" << 1 << 0;
    QTest::newRow("runs of separators") << QByteArray("||o:;;to=1;;;ok=2;||||c:x|")
        << QStringList{";;to=1;;;ok=2;"} << QStringList{"x"} << 1 << "<null>" << 2 << 0;
    QTest::newRow("number past int") << QByteArray("o:to=99999999999;ok=-99999999999")
        << QStringList{"to=99999999999;ok=-99999999999"} << none << INT_MAX << "<null>" << INT_MIN << 0;
    QTest::newRow("no separator") << QByteArray("o:to=5") << QStringList{"to=5"} << none << 5 << "<null>" << 0 << 0;
    QTest::newRow("only separators") << QByteArray("|||||") << none << none << 0 << "<null>" << 0 << 0;
    QTest::newRow("empty") << QByteArray("") << none << none << 0 << "<null>" << 0 << 0;
    const QByteArray longTitle(5000, 'T');
    QTest::newRow("5000-character title cut at 1023") << "o:title=" + longTitle + ";ok=1|c:x"
        << QStringList{"title=" + longTitle + ";ok=1"} << QStringList{"x"} << 0
        << QString(1023, 'T') << 1 << 0;
}

void KtxWindowTest::splitAndCommonOptions()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, options);
    QFETCH(QStringList, contents);
    QFETCH(int, timeout);
    QFETCH(QString, title);
    QFETCH(int, ok);
    QFETCH(int, cancel);
    ProbeWindow window;
    Payload buffer(payload);
    window.splitPayload(buffer.data());
    QCOMPARE(window.options_, options);
    QCOMPARE(window.contents_, contents);
    QCOMPARE(window.timeout, timeout);
    if (title == "<null>") {
        QVERIFY(window.title.isNull());
    } else {
        QVERIFY(!window.title.isNull());
        QCOMPARE(window.title, title);
    }
    QCOMPARE(window.okFlag, ok);
    QCOMPARE(window.cancelFlag, cancel);
}

void KtxWindowTest::placeholderHold()
{
    KTXAbstract placeholder;
    QCOMPARE(placeholder.type, -1);
    Payload buffer("o:|c:Please wait");
    placeholder.hold(buffer.data());
    QVERIFY(!placeholder.isEnabled());
}

void KtxWindowTest::holdOverlay_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("bottom");        // of the box; 0: no box, the hourglass alone at (22, 54)
    QTest::addColumn<QStringList>("lines"); // row, column, text of each line of the message

    QTest::newRow("11 characters") << QByteArray("o:|c:Please wait") << 54
        << QStringList{"42", "30", "Please wait"};
    QTest::newRow("19 characters") << QByteArray("o:to=3|c:ABCDEFGHIJKLMNOPQRS") << 54
        << QStringList{"42", "6", "ABCDEFGHIJKLMNOPQRS"};
    QTest::newRow("25 characters") << QByteArray("o:to=3|c:ABCDEFGHIJKLMNOPQRSTUVWXY") << 60
        << QStringList{"40", "6", "ABCDEFGHIJKLMNOPQRS", "49", "45", "TUVWXY"};
    QTest::newRow("45 characters, 38 shown") << QByteArray("o:|c:ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrs") << 60
        << QStringList{"40", "6", "ABCDEFGHIJKLMNOPQRS", "49", "6", "TUVWXYZabcdefghijkl"};
    QTest::newRow("no content piece") << QByteArray("o:to=3") << 0 << QStringList();
    QTest::newRow("content without o:") << QByteArray("c:Please wait") << 0 << QStringList();
    QTest::newRow("empty message") << QByteArray("o:|c:") << 0 << QStringList();
    QTest::newRow("5000-character message") << "o:|c:" + QByteArray(5000, 'W') << 60
        << QStringList{"40", "6", QString(19, 'W'), "49", "6", QString(19, 'W')};
}

void KtxWindowTest::holdOverlay()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, bottom);
    QFETCH(QStringList, lines);
    KTXText window;
    LedMatrix* matrix = matrixOf(window);
    mark(*matrix);
    Payload buffer(payload);
    window.hold(buffer.data());

    LedPicture expected(64, 128, 'x');
    if (bottom) {
        expected = holdBox(bottom);
        for (int i = 0; i + 2 < lines.size(); i += 3)
            expected.drawText(lines[i + 2], lines[i].toInt(), lines[i + 1].toInt(), 0);
    } else {
        expected.drawCell(LedGlyphTable::instance().hold(), 22, 54);
    }
    const LedPicture actual = readLeds(*matrix);
    QVERIFY2(actual == expected, qPrintable(actual.diff(expected)));
}

void KtxWindowTest::statusText_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("lines"); // drawn at rows 7, 18, 29, 40, 51 from column 1

    QTest::newRow("connecting") << QByteArray("Morvex Radio Server;Connecting to KTX...")
        << "Morvex Radio Server" << QStringList{"Connecting to KTX..."};
    QTest::newRow("failed") << QByteArray("Morvex Radio Server;Connection failed!")
        << "Morvex Radio Server" << QStringList{" Connection failed!"};
    QTest::newRow("lost") << QByteArray("Morvex Radio Server;Connection to KTX lost!")
        << "Morvex Radio Server" << QStringList{"  Connection to KTX", "        lost!"};
    QTest::newRow("empty title") << QByteArray(";text") << "text" << QStringList();
    QTest::newRow("empty text") << QByteArray("Morvex Radio Server;") << "Morvex Radio Server" << QStringList();
    QTest::newRow("21 characters") << QByteArray("T;ABCDEFGHIJKLMNOPQRSTU") << "T"
        << QStringList{"ABCDEFGHIJKLMNOPQRSTU"};
    QTest::newRow("22 characters") << QByteArray("T;ABCDEFGHIJ KLMNOPQRSTU") << "T"
        << QStringList{"     ABCDEFGHIJ", "     KLMNOPQRSTU"};
    QTest::newRow("a long word after others") << QByteArray("T;Go to ABCDEFGHIJKLMNOPQRSTUVWXYZ") << "T"
        << QStringList{"        Go to", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
    QTest::newRow("six lines, five shown")
        << QByteArray("T;AAAAAAAAA BBBBBBBBB CCCCCCCCC DDDDDDDDD EEEEEEEEE FFFFFFFFF GGGGGGGGG "
                      "HHHHHHHHH IIIIIIIII JJJJJJJJJ KKKKKKKKK LLLLLLLLL")
        << "T" << QStringList{" AAAAAAAAA BBBBBBBBB", " CCCCCCCCC DDDDDDDDD", " EEEEEEEEE FFFFFFFFF",
                             " GGGGGGGGG HHHHHHHHH", " IIIIIIIII JJJJJJJJJ"};
    QTest::newRow("further pieces ignored") << QByteArray(";;Title;;Text;More") << "Title" << QStringList{"        Text"};
    QTest::newRow("only separators") << QByteArray(";;;") << "" << QStringList();
}

void KtxWindowTest::statusText()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, title);
    QFETCH(QStringList, lines);
    KTXText window;
    QCOMPARE(window.type, 255);
    Payload buffer(payload);
    window.init(buffer.data());

    LedPicture expected(64, 128, '.');
    for (int i = 0; i < lines.size(); ++i)
        expected.drawText(lines[i], 7 + 11 * i, 1, 0);
    const LedPicture actual = readLeds(*matrixOf(window));
    QVERIFY2(actual == expected, qPrintable(actual.diff(expected)));
    QCOMPARE(window.findChild<QLabel*>("title")->text(), title);
    QCOMPARE(matrixOf(window)->backgroundColor(), QColor::fromRgb(0x7bd96f));
}

void KtxWindowTest::statusTextIgnoresUpdates()
{
    KTXText window;
    Payload text("Morvex Radio Server;Connection failed!");
    window.init(text.data());
    const LedPicture before = readLeds(*matrixOf(window));
    Payload update("o:title=Other|c:Other text");
    window.update(update.data());
    QCOMPARE(readLeds(*matrixOf(window)), before);
    QCOMPARE(window.findChild<QLabel*>("title")->text(), QString("Morvex Radio Server"));
}

void KtxWindowTest::statusTextIsOnePaint()
{
    KTXText window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    PaintCounter counter;
    matrixOf(window)->installEventFilter(&counter);
    Payload text("Morvex Radio Server;Connection to KTX lost!");
    window.init(text.data());
    QCOMPARE(counter.paints, 0);
    QTest::qWait(100);
    QCOMPARE(counter.paints, 1);

    // A hold overlay writes LEDs only (no clear): their own repaints, merged into one.
    Payload hold("o:|c:Please wait");
    window.hold(hold.data());
    QTest::qWait(100);
    QCOMPARE(counter.paints, 2);
}

QTEST_MAIN(KtxWindowTest)
#include "test_ktxwindow.moc"
