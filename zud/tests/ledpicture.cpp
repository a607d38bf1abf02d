#include "ledpicture.h"

#include "ledmatrix.h"

#include <QFile>

#include <cstdlib>

namespace {

// Cell sizes with the gap column, which the table leaves out.
constexpr int kLargeWidth = 5, kLargeHeight = 7;
constexpr int kSmallWidth = 3, kSmallHeight = 5;
constexpr int kHoldSize = 20;

[[noreturn]] void badTable(const QString& why)
{
    qFatal("data/led_glyphs.txt: %s", qPrintable(why));
}

} // namespace

const LedGlyphTable& LedGlyphTable::instance()
{
    static const LedGlyphTable table = [] {
        LedGlyphTable t;
        QFile file(QStringLiteral(ZUD_TEST_DATA_DIR "/led_glyphs.txt"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            badTable(file.errorString());
        while (!file.atEnd()) {
            const QString line = QString::fromLatin1(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            QStringList fields = line.split(' ', Qt::SkipEmptyParts);
            if (fields.size() < 3)
                badTable(line);
            const QString font = fields.takeFirst();
            const QStringList codes = fields.takeFirst().split('/');
            const int width = font == "large" ? kLargeWidth : font == "small" ? kSmallWidth : kHoldSize;
            const int height = font == "large" ? kLargeHeight : font == "small" ? kSmallHeight : kHoldSize;
            if (fields.size() != height)
                badTable(line);
            for (QString& row : fields) {
                if (row.size() != width || row.count('#') + row.count('.') != width)
                    badTable(line);
                if (font != "hold")
                    row += '.';
            }
            if (font == "hold") {
                t.hold_ = fields;
                continue;
            }
            for (const QString& code : codes) {
                const char character = char(code.toInt());
                (font == "large" ? t.large_ : t.small_).insert(character, fields);
            }
        }
        if (t.large_.size() != 72 || t.small_.size() != 68 || t.hold_.size() != kHoldSize)
            badTable(QStringLiteral("expected 72 large, 68 small glyphs and the hold symbol"));
        return t;
    }();
    return table;
}

QStringList LedGlyphTable::large(char character) const
{
    return large_.value(character);
}

QStringList LedGlyphTable::small(char character) const
{
    return small_.value(character);
}

QStringList LedGlyphTable::hold() const
{
    return hold_;
}

QList<char> LedGlyphTable::largeCharacters() const
{
    return large_.keys();
}

QList<char> LedGlyphTable::smallCharacters() const
{
    return small_.keys();
}

LedPicture::LedPicture(int rows, int columns, QChar fill)
    : lines(rows, QString(columns, fill))
{
}

void LedPicture::set(int row, int column, QChar state)
{
    if (row >= 0 && row < lines.size() && column >= 0 && column < lines[row].size())
        lines[row][column] = state;
}

QChar LedPicture::at(int row, int column) const
{
    return lines.at(row).at(column);
}

void LedPicture::drawCell(const QStringList& cell, int row, int column)
{
    for (int r = 0; r < cell.size(); ++r)
        for (int c = 0; c < cell[r].size(); ++c)
            set(row + r, column + c, cell[r][c]);
}

void LedPicture::drawText(const QString& text, int row, int column, int font)
{
    const LedGlyphTable& table = LedGlyphTable::instance();
    const int advance = font == 0 ? kLargeWidth + 1 : kSmallWidth + 1;
    for (int i = 0; i < text.size(); ++i) {
        const char character = text.at(i).toLatin1();
        drawCell(font == 0 ? table.large(character) : table.small(character), row, column + advance * i);
    }
}

int LedPicture::count(QChar state) const
{
    int n = 0;
    for (const QString& line : lines)
        n += line.count(state);
    return n;
}

QString LedPicture::diff(const LedPicture& other) const
{
    QString text;
    for (int row = 0; row < lines.size(); ++row) {
        const QString mine = lines.at(row);
        const QString theirs = row < other.lines.size() ? other.lines.at(row) : QString();
        text += QString::asprintf("%2d %s", row, qPrintable(mine));
        if (mine != theirs) {
            int column = 0;
            while (column < mine.size() && column < theirs.size() && mine[column] == theirs[column])
                ++column;
            text += QString::asprintf("  <- column %d: %s", column, qPrintable(theirs.mid(column, 8)));
        }
        text += '\n';
    }
    return text;
}

bool operator==(const LedPicture& a, const LedPicture& b)
{
    return a.lines == b.lines;
}

LedPicture readLeds(const LedMatrix& matrix, QChar other)
{
    LedPicture picture(matrix.rows(), matrix.columns(), other);
    const QRgb lit = matrix.drawColor().rgb();
    const QRgb dark = matrix.darkLedColor().rgb();
    for (int row = 0; row < matrix.rows(); ++row)
        for (int column = 0; column < matrix.columns(); ++column) {
            const QRgb value = matrix.colorAt(row, column);
            picture.set(row, column, value == lit ? '#' : value == dark ? '.' : other);
        }
    return picture;
}

QPointF ledCentre(QSizeF widget, int rows, int columns, int row, int column)
{
    const double width = columns * 10.0, height = rows * 10.0;
    const double widgetAspect = widget.width() / widget.height(), aspect = width / height;
    double sx = widget.width() / width, sy = widget.height() / height;
    if (widgetAspect > aspect)
        sx = sy;
    else if (widgetAspect < aspect)
        sy = sx;
    return QPointF(widget.width() / 2 + sx * (1 - width / 2 + column * 10 + 5),
                   widget.height() / 2 + sy * (1 - height / 2 + row * 10 + 5));
}

QChar classifyPixel(QColor color, int tolerance)
{
    const auto near = [tolerance](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance
            && std::abs(c.blue() - b) <= tolerance;
    };
    if (near(color, 0, 0, 0))
        return '#';
    if (near(color, 230, 221, 213))
        return '.';
    return '?';
}

LedPicture decodeLeds(const QImage& image, const QRect& area, int rows, int columns, int tolerance)
{
    LedPicture picture(rows, columns, '?');
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const QPointF centre = ledCentre(area.size(), rows, columns, row, column);
            // The pixel whose square holds the centre point.
            const QPoint pixel = area.topLeft() + QPoint(int(centre.x()), int(centre.y()));
            picture.set(row, column, classifyPixel(image.pixelColor(pixel), tolerance));
        }
    return picture;
}

void drawFrame(LedPicture& picture, int top, int left, int bottom, int right)
{
    for (int row = top; row <= bottom; ++row)
        for (int column = left; column <= right; ++column)
            if (row == top || row == bottom || column == left || column == right)
                picture.set(row, column, '#');
}
