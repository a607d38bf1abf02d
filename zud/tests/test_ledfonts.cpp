// The two LED fonts, bit for bit against the test tree's own glyph table: every glyph drawn on a
// matrix, grabbed at its size hint and read back at the LED centres.
#include "ledmatrix.h"
#include "ledpicture.h"
#include "logcapture.h"

#include <QTest>

#include <memory>

namespace {

constexpr QRgb kMarker = 0xffff0000; // an LED no glyph writes
const QColor kGreen = QColor::fromRgb(0x7bd96f);

std::unique_ptr<LedMatrix> markedMatrix()
{
    auto matrix = std::make_unique<LedMatrix>();
    matrix->setColumns(128);
    matrix->setRows(64);
    matrix->setBackgroundColor(kGreen);
    matrix->setDrawColor(Qt::black);
    for (int row = 0; row < 64; ++row)
        for (int column = 0; column < 128; ++column)
            matrix->setColorAt(row, column, kMarker, false);
    return matrix;
}

QString characters(const QList<char>& list, int from, int count)
{
    QString text;
    for (char c : list.mid(from, count))
        text += QLatin1Char(c);
    return text;
}

} // namespace

class LedFontsTest : public QObject {
    Q_OBJECT

private slots:
    void everyGlyphBitExact();
    void namedGlyphs_data();
    void namedGlyphs();
    void glyphsOffTheMatrix_data();
    void glyphsOffTheMatrix();
};

void LedFontsTest::everyGlyphBitExact()
{
    auto matrix = markedMatrix();
    LedPicture expected(64, 128, '?');
    const auto draw = [&](const QString& text, int row, int font) {
        matrix->drawText(text, row, 0, font);
        expected.drawText(text, row, 0, font);
    };
    // 72 large glyphs, 21 a line; 68 small characters, 32 a line; then the characters that a
    // font has no glyph for, which leave their cells as they were.
    const QList<char> large = LedGlyphTable::instance().largeCharacters();
    const QList<char> small = LedGlyphTable::instance().smallCharacters();
    QCOMPARE(large.size(), 72);
    QCOMPARE(small.size(), 68);
    for (int line = 0; line * 21 < large.size(); ++line)
        draw(characters(large, line * 21, 21), line * 8, 0);
    for (int line = 0; line * 32 < small.size(); ++line)
        draw(characters(small, line * 32, 32), 33 + line * 6, 1);
    draw("(),_ !\"#", 51, 1);
    draw(" !\"#&'*<", 57, 0);

    matrix->resize(matrix->sizeHint());
    const QImage image = matrix->grab().toImage();
    QCOMPARE(image.size(), QSize(1280, 640));
    // Lit LEDs black, unlit ones the pale paint, the gap column included; LEDs no glyph wrote
    // keep the marker, which decodes to neither.
    const LedPicture painted = decodeLeds(image, image.rect(), 64, 128, 0);
    QVERIFY2(painted == expected, qPrintable(painted.diff(expected)));
    for (int row = 0; row < 64; ++row)
        for (int column = 0; column < 128; ++column)
            QCOMPARE(image.pixelColor(column * 10 + 1, row * 10 + 1), kGreen);
}

void LedFontsTest::namedGlyphs_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("cells"); // the cells drawn, side by side
    QTest::newRow("small a equals A") << 1 << "aA"
        << QStringList{".#...#..", "#.#.#.#.", "#.#.#.#.", "###.###.", "#.#.#.#."};
    QTest::newRow("large a differs from A") << 0 << "aA"
        << QStringList{".......###..", "......#...#.", ".###..#...#.", "....#.#...#.",
                       ".####.#####.", "#...#.#...#.", ".####.#...#."};
    QTest::newRow("large v starts on row 2, u on row 3") << 0 << "vu"
        << QStringList{"............", "#...#.......", "#...#.#...#.", "#...#.#...#.",
                       "#...#.#...#.", ".#.#..#..##.", "..#....##.#."};
    QTest::newRow("small 0 against O") << 1 << "0O"
        << QStringList{"###..#..", "#.#.#.#.", "#.#.#.#.", "#.#.#.#.", "###..#.."};
}

void LedFontsTest::namedGlyphs()
{
    QFETCH(int, font);
    QFETCH(QString, text);
    QFETCH(QStringList, cells);
    auto matrix = markedMatrix();
    matrix->drawText(text, 3, 5, font);
    for (int row = 0; row < cells.size(); ++row)
        QCOMPARE(readLeds(*matrix).lines[3 + row].mid(5, cells[row].size()), cells[row]);
}

void LedFontsTest::glyphsOffTheMatrix_data()
{
    QTest::addColumn<int>("font");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<int>("written");
    QTest::newRow("large at (0, -1)") << 0 << 0 << -1 << 7 << 35;
    QTest::newRow("large at (-1, 0)") << 0 << -1 << 0 << 6 << 36;
    QTest::newRow("large at (64, 0)") << 0 << 64 << 0 << 42 << 0;
    QTest::newRow("small at (63, 127)") << 1 << 63 << 127 << 19 << 1;
    QTest::newRow("small at (-1, 0)") << 1 << -1 << 0 << 0 << 0;
    QTest::newRow("small at (0, -1)") << 1 << 0 << -1 << 0 << 0;
    QTest::newRow("small at (64, 0)") << 1 << 64 << 0 << 0 << 0;
}

void LedFontsTest::glyphsOffTheMatrix()
{
    QFETCH(int, font);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, warnings);
    QFETCH(int, written);
    auto matrix = markedMatrix();
    LogCapture captured;
    if (font == 0)
        matrix->drawLargeGlyph('M', row, column);
    else
        matrix->drawSmallGlyph('M', row, column);
    QCOMPARE(captured.count("LedMatrix::setColorAt: coordinate"), warnings);
    QCOMPARE(captured.lines.size(), warnings);
    QCOMPARE(8192 - readLeds(*matrix).count('x'), written);
}

QTEST_MAIN(LedFontsTest)
#include "test_ledfonts.moc"
