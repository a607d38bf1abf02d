// The LED matrix: its store of LED values, rectangles, text placement, the hold symbol, the dark
// colour and the painting (grabbed at scale 1 and read back pixel by pixel).
#include "ledmatrix.h"
#include "ledpicture.h"
#include "logcapture.h"

#include <QTest>

#include <memory>

namespace {

constexpr QRgb kDefaultDark = 0xff222222;
constexpr QRgb kMarker = 0xffff0000; // an LED no drawing operation writes
const QColor kGreen = QColor::fromRgb(0x7bd96f);
const QColor kUnlitPaint(230, 221, 213);

// The handset windows' matrix: 128 columns before 64 rows, black on green.
std::unique_ptr<LedMatrix> handsetMatrix()
{
    auto matrix = std::make_unique<LedMatrix>();
    matrix->setColumns(128);
    matrix->setRows(64);
    matrix->setBackgroundColor(kGreen);
    matrix->setDrawColor(Qt::black);
    return matrix;
}

void fill(LedMatrix& matrix, QRgb value)
{
    for (int row = 0; row < matrix.rows(); ++row)
        for (int column = 0; column < matrix.columns(); ++column)
            matrix.setColorAt(row, column, value, false);
}

QImage grabAtSizeHint(LedMatrix& matrix)
{
    matrix.resize(matrix.sizeHint());
    return matrix.grab().toImage();
}

} // namespace

class LedMatrixTest : public QObject {
    Q_OBJECT

private slots:
    void sizesAndUnlitPaint();
    void outOfRange();
    void drawRectSides();
    void drawRectRefused_data();
    void drawRectRefused();
    void textBottomRows_data();
    void textBottomRows();
    void textCutAtRightEdge();
    void holdSymbol();
    void darkLedColor();
    void wideWidgetScalesByHeight();
};

void LedMatrixTest::sizesAndUnlitPaint()
{
    LedMatrix matrix;
    {
        LogCapture warnings;
        QCOMPARE(matrix.sizeHint(), QSize(10, 10));
        matrix.setColumns(128);
        QCOMPARE(matrix.sizeHint(), QSize(10, 10));
        QCOMPARE(warnings.lines, QStringList(2,
            "LedMatrix::sizeHint: no rows or columns to display, defaulting size to (10,10)"));
    }
    matrix.setRows(64);
    matrix.setRows(-1);
    QCOMPARE(matrix.rows(), 64);
    QCOMPARE(matrix.columns(), 128);
    QCOMPARE(matrix.sizeHint(), QSize(1280, 640));
    int dark = 0;
    for (int row = 0; row < 64; ++row)
        for (int column = 0; column < 128; ++column)
            dark += matrix.colorAt(row, column) == kDefaultDark;
    QCOMPARE(dark, 8192);

    // Every LED is a pale circle; the background shows in the gaps between them.
    matrix.setBackgroundColor(kGreen);
    const QImage image = grabAtSizeHint(matrix);
    QCOMPARE(image.size(), QSize(1280, 640));
    const LedPicture painted = decodeLeds(image, image.rect(), 64, 128, 0);
    QVERIFY2(painted == LedPicture(64, 128, '.'), qPrintable(painted.diff(LedPicture(64, 128, '.'))));
    for (int row = 0; row < 64; ++row)
        for (int column = 0; column < 128; ++column)
            QCOMPARE(image.pixelColor(column * 10 + 1, row * 10 + 1), kGreen);
}

void LedMatrixTest::outOfRange()
{
    auto matrix = handsetMatrix();
    matrix->setColorAt(0, 0, kMarker);
    LogCapture warnings;
    QCOMPARE(matrix->colorAt(64, 0), kDefaultDark);
    matrix->setColorAt(0, 128, kMarker);
    matrix->setColorAt(-1, 5, kMarker);
    QCOMPARE(warnings.lines, QStringList({
        "LedMatrix::colorAt: coordinate (row=64, col=0) out of range",
        "LedMatrix::setColorAt: coordinate (row=0, col=128) out of range",
        "LedMatrix::setColorAt: coordinate (row=-1, col=5) out of range"}));
    QCOMPARE(matrix->colorAt(0, 0), kMarker);

    // Shrinking drops the columns at the right.
    matrix->setColumns(100);
    QCOMPARE(matrix->colorAt(0, 99), kDefaultDark);
    matrix->colorAt(0, 100);
    QCOMPARE(warnings.count("LedMatrix::colorAt: coordinate (row=0, col=100)"), 1);
}

void LedMatrixTest::drawRectSides()
{
    auto matrix = handsetMatrix();
    fill(*matrix, kMarker);
    matrix->drawRect(12, 2, 54, 124, 1, true);

    // Inside darkened: rows 12 to 53, columns 2 to 123; sides on rows 12 to 54 at columns 1, 2,
    // 124, 125 and on columns 2 to 124 at rows 11, 12, 54, 55; the four outer corners untouched.
    LedPicture expected(64, 128, 'x');
    for (int row = 12; row <= 53; ++row)
        for (int column = 2; column <= 123; ++column)
            expected.set(row, column, '.');
    for (int row = 12; row <= 54; ++row)
        for (int column : {1, 2, 124, 125})
            expected.set(row, column, '#');
    for (int column = 2; column <= 124; ++column)
        for (int row : {11, 12, 54, 55})
            expected.set(row, column, '#');
    const LedPicture actual = readLeds(*matrix);
    QVERIFY2(actual == expected, qPrintable(actual.diff(expected)));
    for (auto [row, column] : {std::pair{11, 1}, {11, 125}, {55, 1}, {55, 125}})
        QCOMPARE(matrix->colorAt(row, column), kMarker);

    // Any other style: one LED thick, nothing outside.
    fill(*matrix, kMarker);
    matrix->drawRect(27, 3, 40, 124, 0, false);
    LedPicture thin(64, 128, 'x');
    drawFrame(thin, 27, 3, 40, 124);
    QVERIFY2(readLeds(*matrix) == thin, qPrintable(readLeds(*matrix).diff(thin)));
}

void LedMatrixTest::drawRectRefused_data()
{
    QTest::addColumn<QList<int>>("rect"); // top, left, bottom, right
    QTest::newRow("top 0") << QList<int>{0, 2, 54, 124};
    QTest::newRow("left 0") << QList<int>{12, 0, 54, 124};
    QTest::newRow("bottom on the last row + 1") << QList<int>{12, 2, 64, 124};
    QTest::newRow("right past the edge") << QList<int>{12, 2, 54, 128};
    QTest::newRow("top not above bottom") << QList<int>{30, 2, 30, 124};
    QTest::newRow("left not left of right") << QList<int>{12, 50, 54, 49};
}

void LedMatrixTest::drawRectRefused()
{
    QFETCH(QList<int>, rect);
    auto matrix = handsetMatrix();
    fill(*matrix, kMarker);
    LogCapture warnings;
    matrix->drawRect(rect[0], rect[1], rect[2], rect[3], 1, true);
    QCOMPARE(readLeds(*matrix), LedPicture(64, 128, 'x'));
    QVERIFY(warnings.lines.isEmpty());
}

void LedMatrixTest::textBottomRows_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("large at 57") << 0 << 57 << true;
    QTest::newRow("large at 58") << 0 << 58 << false;
    QTest::newRow("small at 59") << 1 << 59 << true;
    QTest::newRow("small at 60") << 1 << 60 << false;
}

void LedMatrixTest::textBottomRows()
{
    QFETCH(int, font);
    QFETCH(int, row);
    QFETCH(bool, drawn);
    auto matrix = handsetMatrix();
    fill(*matrix, kMarker);
    LogCapture warnings;
    matrix->drawText("EE", row, 10, font);
    LedPicture expected(64, 128, 'x');
    if (drawn)
        expected.drawText("EE", row, 10, font);
    QVERIFY2(readLeds(*matrix) == expected, qPrintable(readLeds(*matrix).diff(expected)));
    QVERIFY(warnings.lines.isEmpty());
}

void LedMatrixTest::textCutAtRightEdge()
{
    // The 22nd character starts at column 126 and is cut after two columns (4 x 7 LEDs refused);
    // a 23rd, at offset 132, is not attempted.
    auto matrix = handsetMatrix();
    LogCapture warnings;
    const QString text(23, 'H');
    matrix->drawText(text, 0, 0, 0);
    QCOMPARE(warnings.lines.size(), 28);
    QCOMPARE(warnings.count("LedMatrix::setColorAt: coordinate (row=0, col=128)"), 1);
    QCOMPARE(warnings.count("LedMatrix::setColorAt: coordinate (row=6, col=131)"), 1);
    QCOMPARE(warnings.count("LedMatrix::setColorAt: coordinate (row=0, col=132)"), 0);
    LedPicture expected(64, 128, '.');
    expected.drawText(QString(22, 'H'), 0, 0, 0);
    QVERIFY2(readLeds(*matrix) == expected, qPrintable(readLeds(*matrix).diff(expected)));
    QCOMPARE(expected.at(3, 126), '#');
    QCOMPARE(expected.at(3, 127), '#');
    QCOMPARE(expected.at(0, 127), '.');
}

void LedMatrixTest::holdSymbol()
{
    auto matrix = handsetMatrix();
    fill(*matrix, kMarker);
    matrix->drawHoldSymbol(17, 54);
    LedPicture expected(64, 128, 'x');
    expected.drawCell(LedGlyphTable::instance().hold(), 17, 54);
    const LedPicture actual = readLeds(*matrix);
    QVERIFY2(actual == expected, qPrintable(actual.diff(expected)));
    QCOMPARE(actual.count('#'), 153);
    QCOMPARE(actual.count('.'), 247);
    QCOMPARE(actual.count('x'), 8192 - 400);
}

void LedMatrixTest::darkLedColor()
{
    auto matrix = handsetMatrix();
    matrix->drawText("O", 0, 0, 0);
    const LedPicture before = readLeds(*matrix);
    const QColor blue(10, 20, 200);
    matrix->setDarkLedColor(blue);
    QCOMPARE(matrix->darkLedColor(), blue);
    // Only the LEDs of the old dark value change; lit ones keep their colour.
    QCOMPARE(readLeds(*matrix), before);
    QCOMPARE(matrix->colorAt(0, 0), blue.rgb());
    QCOMPARE(matrix->colorAt(0, 1), QColor(Qt::black).rgb());

    // The pale paint belongs to 0xff222222 alone: the new dark colour is painted as itself.
    const QImage image = grabAtSizeHint(*matrix);
    QCOMPARE(image.pixelColor(6, 6), blue);
    QCOMPARE(image.pixelColor(16, 6), QColor(Qt::black));
    QCOMPARE(image.pixelColor(1006, 506), blue);
}

void LedMatrixTest::wideWidgetScalesByHeight()
{
    // Twice the matrix's aspect: scaled by the height, the grid centred with background on
    // either side.
    auto matrix = handsetMatrix();
    matrix->resize(2560, 640);
    const QImage image = matrix->grab().toImage();
    const QRect area(QPoint(), matrix->size());
    const LedPicture painted = decodeLeds(image, area, 64, 128, 0);
    QVERIFY2(painted == LedPicture(64, 128, '.'), qPrintable(painted.diff(LedPicture(64, 128, '.'))));
    QCOMPARE(ledCentre(area.size(), 64, 128, 0, 0), QPointF(646, 6));
    QCOMPARE(image.pixelColor(640, 320), kGreen);
    QCOMPARE(image.pixelColor(1922, 320), kGreen);
    QCOMPARE(image.pixelColor(646, 6), kUnlitPaint);
}

QTEST_MAIN(LedMatrixTest)
#include "test_ledmatrix.moc"
