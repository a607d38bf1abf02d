// The radio server's six handset windows: what each shows on its matrix (read against the test
// tree's glyph table), its buttons, and the keys it emits, as tables of cases.
#include "ktxaccept.h"
#include "ktxchoice.h"
#include "ktxinfo.h"
#include "ktxinput.h"
#include "ktxmain.h"
#include "ktxprogress.h"
#include "ledmatrix.h"
#include "ledpicture.h"
#include "payload.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

void init(KTXAbstract& window, const QByteArray& payload)
{
    Payload buffer(payload);
    window.init(buffer.data());
}

void update(KTXAbstract& window, const QByteArray& payload)
{
    Payload buffer(payload);
    window.update(buffer.data());
}

void hold(KTXAbstract& window, const QByteArray& payload)
{
    Payload buffer(payload);
    window.hold(buffer.data());
}

// The keys a window emits, the text copied while the signal is delivered (null stays null).
struct KeyLog {
    explicit KeyLog(KTXAbstract& window)
    {
        QObject::connect(&window, &KTXAbstract::key, [this](int code, char* text) {
            codes.append(code);
            texts.append(text ? QByteArray(text) : QByteArray());
        });
    }
    QList<int> codes;
    QList<QByteArray> texts;
};

LedPicture shown(QWidget& window, const char* matrixName = "text")
{
    return readLeds(*window.findChild<LedMatrix*>(matrixName));
}

QPushButton* button(QWidget& window, const char* name)
{
    return window.findChild<QPushButton*>(name);
}

QString labelText(QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(name)->text();
}

void click(QWidget& window, const char* name)
{
    QPushButton* b = button(window, name);
    QVERIFY(b);
    b->click();
}

#define COMPARE_PICTURE(actual, expected)                                                          \
    do {                                                                                           \
        const LedPicture a_ = (actual), e_ = (expected);                                           \
        QVERIFY2(a_ == e_, qPrintable(a_.diff(e_)));                                               \
    } while (false)

// Lines of the five-line layout: rows 7, 18, 29, 40, 51 from column 1.
LedPicture fiveLines(const QStringList& lines)
{
    LedPicture picture(64, 128, '.');
    for (int i = 0; i < lines.size(); ++i)
        picture.drawText(lines[i], 7 + 11 * i, 1, 0);
    return picture;
}

// Which morvex icon a button shows: 1 to 6, 0 for none.
int iconOf(QPushButton* button)
{
    if (button->icon().isNull())
        return 0;
    const QImage shown = button->icon().pixmap(65, 65).toImage();
    for (int n = 1; n <= 6; ++n)
        if (QIcon(QString(":/icons/images/morvex_%1.png").arg(n)).pixmap(65, 65).toImage() == shown)
            return n;
    return -1;
}

// "E2": enabled with icon 2; "D-": disabled without icon; one word per button.
QString buttonStates(QWidget& window)
{
    QStringList states;
    for (const char* name : {"btn1", "btn2", "btn3", "btn4"}) {
        QPushButton* b = button(window, name);
        const int icon = iconOf(b);
        states << QString(b->isEnabled() ? "E" : "D") + (icon ? QString::number(icon) : QString("-"));
    }
    return states.join(' ');
}

// The choice window's rows: the frame around the second row and the rows' texts.
LedPicture choiceRows(const QStringList& rows)
{
    LedPicture picture(64, 128, '.');
    for (int row = 16; row <= 26; ++row)
        for (int column : {1, 2, 123, 124})
            picture.set(row, column, '#');
    for (int column = 2; column <= 123; ++column)
        for (int row : {15, 16, 26, 27})
            picture.set(row, column, '#');
    for (int k = 0; k < rows.size(); ++k) {
        if (k == 1)
            picture.drawText(rows[k], 18, 5, 0);
        else
            picture.drawText(rows[k], 7 + 11 * k, 1, 0);
    }
    return picture;
}

// The input field's frame and the cells shown in it.
LedPicture inputField(const QString& cells)
{
    LedPicture picture(64, 128, '.');
    drawFrame(picture, 27, 3, 40, 124);
    for (int i = 0; i < cells.size(); ++i)
        picture.drawText(QString(cells[i]), 31, 6 + 6 * i, 0);
    return picture;
}

// The progress bar's frame, its block from column 2 to lastColumn, and the percentage.
LedPicture progressBar(int lastColumn, const QString& percent)
{
    LedPicture picture(64, 128, '.');
    drawFrame(picture, 27, 3, 40, 124);
    for (int row = 27; row <= 40; ++row)
        for (int column = 2; column <= lastColumn; ++column)
            picture.set(row, column, '#');
    picture.drawText(percent, 46, 54, 0);
    return picture;
}

int qtKey(QChar c)
{
    if (c == '<')
        return Qt::Key_Backspace;
    return c.toUpper().unicode();
}

} // namespace

class KtxWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void mainButtons_data();
    void mainButtons();
    void mainLines_data();
    void mainLines();
    void mainKeysAndHold();
    void infoText_data();
    void infoText();
    void infoScrolling();
    void infoKeysHoldAndUpdate();
    void choiceRing();
    void choiceSmallLists_data();
    void choiceSmallLists();
    void choiceOkUpdateAndTimeout();
    void acceptText_data();
    void acceptText();
    void acceptButtonsHoldAndUpdate();
    void inputKeys_data();
    void inputKeys();
    void inputOptions();
    void progress();
};

void KtxWindowsTest::mainButtons_data()
{
    QTest::addColumn<QList<QByteArray>>("payloads"); // init, then updates
    QTest::addColumn<QStringList>("states");         // after each

    QTest::newRow("icon and states, then the icon alone")
        << QList<QByteArray>{"o:b1i=2;b1s=1;b2s=1", "o:b1i=2"}
        << QStringList{"E2 E- E- E-", "D2 D- E- E-"};
    QTest::newRow("ignored pieces")
        << QList<QByteArray>{"o:b1i=0;b1i=7;b5s=1;b0i=3;b1x=1;b1i;title=Menu"} << QStringList{"E- E- E- E-"};
    QTest::newRow("only state 1 enables") << QList<QByteArray>{"o:b3s=2;b4i=6;b4s=1"}
        << QStringList{"E- E- D- E6"};
    QTest::newRow("o: alone keeps the buttons")
        << QList<QByteArray>{"o:b1i=5;b1s=1;b2i=3|c:Old", "o:|c:New text"}
        << QStringList{"E5 D3 E- E-", "E5 D3 E- E-"};
    QTest::newRow("a later piece wins, an icon stays until replaced")
        << QList<QByteArray>{"o:b2i=1;b2i=4;b2s=1", "o:b2s=1", "o:b2i=6;b2s=1"}
        << QStringList{"E- E4 E- E-", "E- E4 E- E-", "E- E6 E- E-"};
}

void KtxWindowsTest::mainButtons()
{
    QFETCH(QList<QByteArray>, payloads);
    QFETCH(QStringList, states);
    KTXMain window;
    QCOMPARE(window.type, 1);
    init(window, payloads[0]);
    QCOMPARE(buttonStates(window), states[0]);
    for (int i = 1; i < payloads.size(); ++i) {
        update(window, payloads[i]);
        QCOMPARE(buttonStates(window), states[i]);
    }
}

void KtxWindowsTest::mainLines_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("lines"); // lines 1 to 4 as shown

    QTest::newRow("empty line skipped") << QByteArray("o:|c:Alpha\n\nBeta") << QStringList{"Alpha", "Beta", "", ""};
    QTest::newRow("leading line feed") << QByteArray("o:|c:\nAlpha") << QStringList{"Alpha", "", "", ""};
    QTest::newRow("four lines, a fifth dropped") << QByteArray("o:|c:Menu 1\nCall\nScan\nexit 4\nmore")
        << QStringList{"Menu 1", "Call", "Scan", "exit 4"};
    QTest::newRow("middle lines cut at 30") << QByteArray("o:|c:x\n" + QByteArray(40, 'M') + "\n" + QByteArray(40, 'W'))
        << QStringList{"x", QString(30, 'M'), QString(30, 'W'), ""};
    QTest::newRow("5000-character first line") << QByteArray("o:|c:" + QByteArray(5000, 'A') + "\nB")
        << QStringList{QString(255, 'A'), "B", "", ""};
    QTest::newRow("no content part") << QByteArray("o:b1s=1") << QStringList{"", "", "", ""};
}

void KtxWindowsTest::mainLines()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, lines);
    KTXMain window;
    init(window, payload);
    LedPicture expected(64, 128, '.');
    const int rows[] = {16, 24, 33, 42};
    const int fonts[] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i)
        expected.drawText(lines[i], rows[i], 3, fonts[i]);
    COMPARE_PICTURE(shown(window, "led"), expected);

    // An update with options only redraws the lines it had.
    update(window, "o:b2s=1");
    COMPARE_PICTURE(shown(window, "led"), expected);
}

void KtxWindowsTest::mainKeysAndHold()
{
    KTXMain window;
    KeyLog log(window);
    init(window, "o:b3s=1;b1s=1|c:Menu");
    click(window, "btn3");
    click(window, "btn1");
    click(window, "cancelButton");
    QCOMPARE(log.codes, (QList<int>{3, 1, 67}));
    for (const QByteArray& text : log.texts)
        QVERIFY(text.isNull());

    // The hold overlay disables none of its buttons.
    hold(window, "o:|c:Please wait");
    QCOMPARE(buttonStates(window), QString("E- E- E- E-"));
    QVERIFY(button(window, "cancelButton")->isEnabled());
    QCOMPARE(shown(window, "led").at(11, 2), QChar('#'));
}

void KtxWindowsTest::infoText_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("lines"); // the five shown
    QTest::addColumn<QString>("buttons");   // visible of cancel, up, down, OK

    QTest::newRow("short text, cancel only") << QByteArray("o:ok=0;cancel=1|c:Short text")
        << QStringList{"     Short text"} << "C...";
    QTest::newRow("no content") << QByteArray("o:ok=1;cancel=1") << QStringList() << "C..O";
    QTest::newRow("whitespace only") << QByteArray("o:|c: \t ") << QStringList{"          "} << "....";
    QTest::newRow("21 characters with a line feed") << QByteArray("o:|c:ABCDEFGHIJ\nKLMNOPQRST")
        << QStringList{"ABCDEFGHIJ\nKLMNOPQRST"} << "....";
    QTest::newRow("short words") << QByteArray("o:|c:aaaa bbbb cccc dddd eeee ffff")
        << QStringList{" aaaa bbbb cccc dddd", "      eeee ffff"} << "....";
    QTest::newRow("a line of 20, then 10") << QByteArray("o:|c:aaaaaaaaa bbbbbbbbbb\t\tcccccccccc")
        << QStringList{"aaaaaaaaa bbbbbbbbbb", "     cccccccccc"} << "....";
    QTest::newRow("a word of 25 alone") << QByteArray("o:|c:ABCDEFGHIJKLMNOPQRSTUVWXY")
        << QStringList{"ABCDEFGHIJKLMNOPQRSTUVWXY"} << "....";
    QTest::newRow("line feeds end lines, empty lines vanish")
        << QByteArray("o:|c:  First line\n\n\nSecond line here  ")
        << QStringList{"     First line", "  Second line here"} << "....";
    QTest::newRow("six lines") << QByteArray("o:|c:L1 x\nL2 x\nL3 x\nL4 x\nL5 x\nL6 x")
        << QStringList{"        L1 x", "        L2 x", "        L3 x", "        L4 x", "        L5 x"} << "..v.";
    QTest::newRow("five lines") << QByteArray("o:|c:L1 x\nL2 x\nL3 x\nL4 x\nL5 x")
        << QStringList{"        L1 x", "        L2 x", "        L3 x", "        L4 x", "        L5 x"} << "....";
    QTest::newRow("5000 characters") << "o:|c:" + QByteArray(5000, 'w')
        << QStringList{QString(5000, 'w')} << "....";
}

void KtxWindowsTest::infoText()
{
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, lines);
    QFETCH(QString, buttons);
    KTXInfo window;
    QCOMPARE(window.type, 2);
    window.show();
    init(window, payload);
    COMPARE_PICTURE(shown(window), fiveLines(lines));
    QString visible;
    visible += button(window, "cancelBtn")->isVisible() ? 'C' : '.';
    visible += button(window, "up")->isVisible() ? '^' : '.';
    visible += button(window, "down")->isVisible() ? 'v' : '.';
    visible += button(window, "okBtn")->isVisible() ? 'O' : '.';
    QCOMPARE(visible, buttons);
}

void KtxWindowsTest::infoScrolling()
{
    KTXInfo window;
    window.show();
    init(window, "o:title=News|c:L1 x\nL2 x\nL3 x\nL4 x\nL5 x\nL6 x");
    QCOMPARE(labelText(window, "title"), QString("News"));
    click(window, "down");
    COMPARE_PICTURE(shown(window), fiveLines({"        L2 x", "        L3 x", "        L4 x", "        L5 x", "        L6 x"}));
    QVERIFY(!button(window, "down")->isVisible());
    QVERIFY(button(window, "up")->isVisible());
    click(window, "up");
    COMPARE_PICTURE(shown(window), fiveLines({"        L1 x", "        L2 x", "        L3 x", "        L4 x", "        L5 x"}));
    QVERIFY(button(window, "down")->isVisible());
    QVERIFY(!button(window, "up")->isVisible());
}

void KtxWindowsTest::infoKeysHoldAndUpdate()
{
    KTXInfo window;
    window.show();
    KeyLog log(window);
    init(window, "o:ok=1;cancel=1|c:L1 x\nL2 x\nL3 x\nL4 x\nL5 x\nL6 x");
    const LedPicture before = shown(window);
    update(window, "o:title=Other|c:Other text");
    COMPARE_PICTURE(shown(window), before);
    click(window, "okBtn");
    click(window, "cancelBtn");
    QCOMPARE(log.codes, (QList<int>{11, 10}));
    QVERIFY(log.texts[0].isNull() && log.texts[1].isNull());

    // Held: OK and cancel disabled, scrolling still redraws the text.
    hold(window, "o:|c:Wait");
    QVERIFY(!button(window, "okBtn")->isEnabled());
    QVERIFY(!button(window, "cancelBtn")->isEnabled());
    QVERIFY(button(window, "down")->isEnabled());
    click(window, "down");
    COMPARE_PICTURE(shown(window), fiveLines({"        L2 x", "        L3 x", "        L4 x", "        L5 x", "        L6 x"}));
}

void KtxWindowsTest::choiceRing()
{
    KTXChoice window;
    QCOMPARE(window.type, 3);
    KeyLog log(window);
    init(window, "o:title=Channel|c:a;b;c");
    QCOMPARE(labelText(window, "title"), QString("Channel"));
    COMPARE_PICTURE(shown(window), choiceRows({"c", "a", "b"}));
    click(window, "downBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"a", "b", "c"}));
    click(window, "downBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"b", "c", "a"}));
    click(window, "downBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"c", "a", "b"}));
    click(window, "upBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"b", "c", "a"}));
    QCOMPARE(log.codes, (QList<int>{-1, -1, -1, -1}));
}

void KtxWindowsTest::choiceSmallLists_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("one item") << QByteArray("only") << QStringList{"", "only"};
    QTest::newRow("two items") << QByteArray("first;;second;") << QStringList{"second", "first"};
    QTest::newRow("no items") << QByteArray("") << QStringList();
}

void KtxWindowsTest::choiceSmallLists()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    KTXChoice window;
    KeyLog log(window);
    init(window, "o:|c:" + content);
    COMPARE_PICTURE(shown(window), choiceRows(rows));
    if (rows.size() == 2 && rows[0].isEmpty()) {
        // One item: up and down redraw nothing but still report the move.
        window.findChild<LedMatrix*>("text")->clear();
        click(window, "upBtn");
        click(window, "downBtn");
        COMPARE_PICTURE(shown(window), LedPicture(64, 128, '.'));
        QCOMPARE(log.codes, (QList<int>{-1, -1}));
    }
    if (rows.isEmpty()) {
        click(window, "okBtn");
        QVERIFY(log.codes.isEmpty());
    }
}

void KtxWindowsTest::choiceOkUpdateAndTimeout()
{
    KTXChoice window;
    KeyLog log(window);
    init(window, "o:ok=1|c:one;two;three;four;five");
    QCOMPARE(labelText(window, "timeout"), QString());
    click(window, "downBtn");
    click(window, "downBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"two", "three", "four", "five", "one"}));
    click(window, "okBtn");
    QCOMPARE(log.codes.last(), 11);
    QCOMPARE(log.texts.last(), QByteArray("3;three"));

    // An update appends, goes back to the first item and draws nothing until the next move.
    const LedPicture before = shown(window);
    update(window, "o:to=30|c:six;seven");
    COMPARE_PICTURE(shown(window), before);
    QCOMPARE(labelText(window, "timeout"), QString("30"));
    click(window, "downBtn");
    COMPARE_PICTURE(shown(window), choiceRows({"one", "two", "three", "four", "five"}));
    update(window, "o:to=0");
    QCOMPARE(labelText(window, "timeout"), QString("30"));

    // OK's text is cut at 255 characters.
    KTXChoice longItem;
    KeyLog longLog(longItem);
    init(longItem, "o:|c:" + QByteArray(300, 'z'));
    click(longItem, "okBtn");
    QCOMPARE(longLog.texts.last(), "1;" + QByteArray(253, 'z'));

    hold(window, "o:|c:Wait");
    for (const char* name : {"cancelBtn", "okBtn", "upBtn", "downBtn"})
        QVERIFY(!button(window, name)->isEnabled());
}

void KtxWindowsTest::acceptText_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("21 characters") << QByteArray("Delete all channels?!") << QStringList{"Delete all channels?!"};
    QTest::newRow("10 characters") << QByteArray("Really? OK") << QStringList{"     Really? OK"};
    QTest::newRow("a first word of 20") << QByteArray("ABCDEFGHIJKLMNOPQRST now")
        << QStringList{"          ", "ABCDEFGHIJKLMNOPQRST", "         now"};
    QTest::newRow("five lines at most")
        << QByteArray("aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk llll mmmm nnnn oooo pppp qqqq rrrr ssss tttt uuuu")
        << QStringList{" aaaa bbbb cccc dddd", " eeee ffff gggg hhhh", " iiii jjjj kkkk llll", " mmmm nnnn oooo pppp",
                       " qqqq rrrr ssss tttt"};
    QTest::newRow("trailing whitespace") << QByteArray("Accept the new key now ")
        << QStringList{" Accept the new key", "        now "};
}

void KtxWindowsTest::acceptText()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    KTXAccept window;
    QCOMPARE(window.type, 5);
    window.show();
    init(window, "o:title=Confirm|c:" + content);
    COMPARE_PICTURE(shown(window), fiveLines(lines));
    QVERIFY(!button(window, "okBtn")->isVisible());
    QVERIFY(!button(window, "cancelBtn")->isVisible());
    QCOMPARE(labelText(window, "title"), QString("Confirm"));
}

void KtxWindowsTest::acceptButtonsHoldAndUpdate()
{
    KTXAccept window;
    window.show();
    KeyLog log(window);
    init(window, "o:ok=1;cancel=1|c:Sure?");
    QVERIFY(button(window, "okBtn")->isVisible());
    QVERIFY(button(window, "cancelBtn")->isVisible());
    const LedPicture before = shown(window);
    update(window, "o:title=Other|c:Other text");
    COMPARE_PICTURE(shown(window), before);
    click(window, "okBtn");
    click(window, "cancelBtn");
    QCOMPARE(log.codes, (QList<int>{11, 10}));
    hold(window, "o:|c:Wait");
    QVERIFY(!button(window, "okBtn")->isEnabled());
    QVERIFY(!button(window, "cancelBtn")->isEnabled());
}

void KtxWindowsTest::inputKeys_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("keys");    // characters typed; "<" is backspace
    QTest::addColumn<QString>("entered"); // as OK sends it
    QTest::addColumn<QString>("cells");   // as the field shows it
    QTest::addColumn<bool>("ok");

    QTest::newRow("dd:dd half") << QByteArray("mask=dd:dd") << "12" << "12:" << "12:__" << false;
    QTest::newRow("dd:dd full") << QByteArray("mask=dd:dd") << "1234" << "12:34" << "12:34" << true;
    QTest::newRow("dd:dd back to 12:3") << QByteArray("mask=dd:dd") << "1234<" << "12:3" << "12:3_" << false;
    QTest::newRow("dd:dd back to 12:") << QByteArray("mask=dd:dd") << "1234<<" << "12:" << "12:__" << false;
    QTest::newRow("dd:dd back to 1") << QByteArray("mask=dd:dd") << "1234<<<" << "1" << "1_:__" << false;
    QTest::newRow("(ddd) and backspaces") << QByteArray("mask=(ddd)") << "5<<<" << "" << "(___)" << false;
    QTest::newRow("(ddd) one key") << QByteArray("mask=(ddd)") << "5" << "(5" << "(5__)" << false;
    QTest::newRow("aa: * refused, 7 taken") << QByteArray("mask=aa") << "a*7" << "A7" << "A7" << true;
    QTest::newRow("dd: a letter refused") << QByteArray("mask=dd") << "x" << "" << "__" << false;
    QTest::newRow("a blank stays _ on the field") << QByteArray("mask=aa") << " " << " " << "__" << false;
    QTest::newRow("len=0") << QByteArray("mask=ddd;len=0") << "4" << "4" << "4__" << true;
    QTest::newRow("len=3 at 12:") << QByteArray("mask=dd:dd;len=3") << "12" << "12:" << "12:__" << true;
    QTest::newRow("len=3 at 12:3") << QByteArray("mask=dd:dd;len=3") << "123" << "12:3" << "12:3_" << false;
    QTest::newRow("no mask") << QByteArray("title=Code") << "12" << "" << "" << false;
    QTest::newRow("fixed characters only") << QByteArray("mask=--") << "AB" << "--A" << "--" << false;
    QTest::newRow("mask cut at 19") << QByteArray("mask=dddddddddddddddddddddddd") << "1" << "1"
        << "1" + QString(18, '_') << false;
}

void KtxWindowsTest::inputKeys()
{
    QFETCH(QByteArray, options);
    QFETCH(QString, keys);
    QFETCH(QString, entered);
    QFETCH(QString, cells);
    QFETCH(bool, ok);
    KTXInput window;
    QCOMPARE(window.type, 4);
    KeyLog log(window);
    init(window, "o:" + options);
    QVERIFY(!button(window, "okBtn")->isEnabled());
    for (QChar c : keys)
        window.keyInput(qtKey(c));
    COMPARE_PICTURE(shown(window), inputField(cells));
    QCOMPARE(button(window, "okBtn")->isEnabled(), ok);
    button(window, "okBtn")->setEnabled(true);
    click(window, "okBtn");
    click(window, "cancelBtn");
    QCOMPARE(log.codes, (QList<int>{11, 10}));
    QCOMPARE(log.texts[0], entered.toLatin1());
    QVERIFY(!log.texts[0].isNull());
    QVERIFY(log.texts[1].isNull());
}

void KtxWindowsTest::inputOptions()
{
    KTXInput window;
    init(window, "o:title=ABCDEFGHIJKLMNOPQRSTUVWXYZ;fmt=hh:mm\"x;mask=dd:dd;to=9|c:ignored");
    QCOMPARE(labelText(window, "title"), QString("ABCDEFGHIJKLMNOPQRS"));
    QCOMPARE(labelText(window, "subtitle"), QString("(hh:mm)"));
    QCOMPARE(window.timeout, 9);
    update(window, "o:mask=aaaa|c:x");
    window.keyInput(Qt::Key_1);
    COMPARE_PICTURE(shown(window), inputField("1_:__"));
    hold(window, "o:|c:Wait");
    QVERIFY(!button(window, "okBtn")->isEnabled());
    QVERIFY(!button(window, "cancelBtn")->isEnabled());
}

void KtxWindowsTest::progress()
{
    KTXProgress window;
    QCOMPARE(window.type, 6);
    window.show();
    KeyLog log(window);
    COMPARE_PICTURE(shown(window), [] { LedPicture p(64, 128, '.'); drawFrame(p, 27, 3, 40, 124); return p; }());
    init(window, "o:title=Upload;cancel=1;progress=40|c:x");
    QCOMPARE(labelText(window, "title"), QString("Upload"));
    QCOMPARE(labelText(window, "subtitle"), QString("(press C to cancel)"));
    QVERIFY(button(window, "cancelBtn")->isVisible());
    COMPARE_PICTURE(shown(window), progressBar(52, "40%"));

    for (const char* stale : {"o:progress=30", "o:progress=0", "o:progress=-5", "o:progress=101", "o:title=Other"}) {
        update(window, stale);
        COMPARE_PICTURE(shown(window), progressBar(52, "40%"));
    }
    QCOMPARE(labelText(window, "title"), QString("Upload"));
    update(window, "o:progress=100");
    COMPARE_PICTURE(shown(window), progressBar(124, "100%"));
    click(window, "cancelBtn");
    QCOMPARE(log.codes, QList<int>{10});
    QVERIFY(log.texts[0].isNull());
    hold(window, "o:|c:Wait");
    QVERIFY(!button(window, "cancelBtn")->isEnabled());

    KTXProgress plain;
    plain.show();
    init(plain, "o:title=" + QByteArray(600, 'T') + ";cancel=0");
    QVERIFY(!button(plain, "cancelBtn")->isVisible());
    QCOMPARE(labelText(plain, "subtitle"), QString());
    QCOMPARE(labelText(plain, "title"), QString(511, 'T'));
    COMPARE_PICTURE(shown(plain), progressBar(1, "0%"));
    update(plain, "o:progress=1");
    COMPARE_PICTURE(shown(plain), progressBar(5, "1%"));
}

QTEST_MAIN(KtxWindowsTest)
#include "test_ktxwindows.moc"
