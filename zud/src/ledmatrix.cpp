#include "ledmatrix.h"

#include "ledfonts.h"

#include <QPainter>

#include <cstdint>

namespace {

constexpr int kUnitsPerLed = 10;

// Unlit LEDs of the default dark colour are painted as pale circles; any other value as itself.
constexpr QRgb kDefaultDark = 0xff222222;
const QColor kUnlitPaint(230, 221, 213);

// The hourglass in a frame with cut corners; the leftmost LED of a row is the highest of 20 bits.
constexpr int kHoldSize = 20;
constexpr std::uint32_t kHoldSymbol[kHoldSize] = {
    0b01111111111111111110,
    0b10000000000000000001,
    0b10111111111111111001,
    0b10010000000000010001,
    0b10001000000000100001,
    0b10000111111111000001,
    0b10000011111110000001,
    0b10000001111100000001,
    0b10000000111000000001,
    0b10000000010000000001,
    0b10000000010000000001,
    0b10000000101000000001,
    0b10000001010100000001,
    0b10000010000010000001,
    0b10000100010001000001,
    0b10001000000000100001,
    0b10010011111110010001,
    0b10111111111111111001,
    0b10000000000000000001,
    0b01111111111111111110,
};

} // namespace

LedMatrix::LedMatrix(QWidget* parent)
    : QWidget(parent)
{
}

QColor LedMatrix::backgroundColor() const
{
    return background_.color();
}

void LedMatrix::setBackgroundColor(const QColor& color)
{
    background_.setColor(color);
    update();
}

Qt::BGMode LedMatrix::backgroundMode() const
{
    return backgroundMode_;
}

void LedMatrix::setBackgroundMode(Qt::BGMode mode)
{
    backgroundMode_ = mode;
    update();
}

QColor LedMatrix::darkLedColor() const
{
    return darkLedColor_;
}

void LedMatrix::setDarkLedColor(const QColor& color)
{
    const QRgb old = darkLedColor_.rgb();
    darkLedColor_ = color;
    const QRgb dark = darkLedColor_.rgb();
    for (auto& column : leds_)
        for (QRgb& led : column)
            if (led == old)
                led = dark;
    update();
}

int LedMatrix::rows() const
{
    return rows_;
}

void LedMatrix::setRows(int rows)
{
    if (rows < 0 || rows == rows_)
        return;
    const int old = rows_;
    rows_ = rows;
    heightUnits_ = rows * kUnitsPerLed;
    if (heightUnits_ > 0)
        aspect_ = widthUnits_ / heightUnits_;
    for (int column = 0; column < columns_; ++column) {
        leds_[column].resize(rows);
        for (int row = old; row < rows; ++row)
            setColorAt(row, column, darkLedColor_.rgb(), false);
    }
    update();
}

int LedMatrix::columns() const
{
    return columns_;
}

void LedMatrix::setColumns(int columns)
{
    if (columns < 0 || columns == columns_)
        return;
    const int old = columns_;
    columns_ = columns;
    widthUnits_ = columns * kUnitsPerLed;
    if (heightUnits_ > 0)
        aspect_ = widthUnits_ / heightUnits_;
    leds_.resize(columns);
    for (int column = old; column < columns; ++column) {
        leds_[column].resize(rows_);
        for (int row = 0; row < rows_; ++row)
            setColorAt(row, column, darkLedColor_.rgb(), false);
    }
    update();
}

bool LedMatrix::contains(int row, int column) const
{
    return row >= 0 && row < rows_ && column >= 0 && column < columns_;
}

QRgb LedMatrix::colorAt(int row, int column) const
{
    if (!contains(row, column)) {
        qWarning("LedMatrix::colorAt: coordinate (row=%d, col=%d) out of range", row, column);
        return darkLedColor_.rgb();
    }
    return leds_[column][row];
}

void LedMatrix::setColorAt(int row, int column, QRgb value, bool repaint)
{
    if (!contains(row, column)) {
        qWarning("LedMatrix::setColorAt: coordinate (row=%d, col=%d) out of range", row, column);
        return;
    }
    leds_[column][row] = value;
    if (repaint)
        update();
}

QColor LedMatrix::drawColor() const
{
    return drawColor_;
}

void LedMatrix::setDrawColor(const QColor& color)
{
    drawColor_ = color;
}

void LedMatrix::clear()
{
    const QRgb dark = darkLedColor_.rgb();
    for (auto& column : leds_)
        std::fill(column.begin(), column.end(), dark);
    update();
}

void LedMatrix::drawRect(int top, int left, int bottom, int right, int borderStyle, bool fill)
{
    // Row 0 and column 0 never carry a side: a two-LED border needs the LED outside each side.
    if (!(0 < top && top < bottom && bottom < rows_ && 0 < left && left < right && right < columns_))
        return;
    const QRgb lit = drawColor_.rgb();
    if (fill) {
        const QRgb dark = darkLedColor_.rgb();
        for (int row = top; row < bottom; ++row)
            for (int column = left; column < right; ++column)
                setColorAt(row, column, dark);
    }
    const bool thick = borderStyle == 1;
    for (int row = top; row <= bottom; ++row) {
        setColorAt(row, left, lit);
        setColorAt(row, right, lit);
        if (thick) {
            setColorAt(row, left - 1, lit);
            setColorAt(row, right + 1, lit);
        }
    }
    for (int column = left; column <= right; ++column) {
        setColorAt(top, column, lit);
        setColorAt(bottom, column, lit);
        if (thick) {
            setColorAt(top - 1, column, lit);
            setColorAt(bottom + 1, column, lit);
        }
    }
}

void LedMatrix::drawText(const QString& text, int row, int column, int font)
{
    const bool large = font == kLargeFont;
    const bool tested = font == kLargeFont || font == kSmallFont;
    const int advance = large ? LedFont::kLargeCellColumns : LedFont::kSmallCellColumns;
    const int height = large ? LedFont::kLargeCellRows : LedFont::kSmallCellRows;
    if (tested && row + height - 1 >= rows_)
        return;
    for (int i = 0; i < text.size(); ++i) {
        // The offset from the starting column is tested, not the absolute column: a character
        // reaching past the right edge is still drawn and cut LED by LED.
        if (tested && advance * i > columns_)
            return;
        const char character = text.at(i).toLatin1();
        if (large)
            drawLargeGlyph(character, row, column + advance * i);
        else
            drawSmallGlyph(character, row, column + advance * i);
    }
}

void LedMatrix::drawLargeGlyph(char character, int row, int column)
{
    const std::uint8_t* glyph = LedFont::largeGlyph(character);
    if (!glyph)
        return;
    const QRgb lit = drawColor_.rgb();
    const QRgb dark = darkLedColor_.rgb();
    for (int r = 0; r < LedFont::kLargeCellRows; ++r)
        for (int c = 0; c < LedFont::kLargeCellColumns; ++c) {
            const bool on = c < LedFont::kLargeCellColumns - 1
                && (glyph[r] >> (LedFont::kLargeCellColumns - 2 - c)) & 1;
            setColorAt(row + r, column + c, on ? lit : dark);
        }
}

void LedMatrix::drawSmallGlyph(char character, int row, int column)
{
    if (!contains(row, column))
        return;
    const std::uint8_t* glyph = LedFont::smallGlyph(character);
    if (!glyph)
        return;
    const QRgb lit = drawColor_.rgb();
    const QRgb dark = darkLedColor_.rgb();
    for (int r = 0; r < LedFont::kSmallCellRows; ++r)
        for (int c = 0; c < LedFont::kSmallCellColumns; ++c) {
            const bool on = c < LedFont::kSmallCellColumns - 1
                && (glyph[r] >> (LedFont::kSmallCellColumns - 2 - c)) & 1;
            setColorAt(row + r, column + c, on ? lit : dark);
        }
}

void LedMatrix::drawHoldSymbol(int row, int column)
{
    const QRgb lit = drawColor_.rgb();
    const QRgb dark = darkLedColor_.rgb();
    for (int r = 0; r < kHoldSize; ++r)
        for (int c = 0; c < kHoldSize; ++c) {
            const bool on = (kHoldSymbol[r] >> (kHoldSize - 1 - c)) & 1;
            setColorAt(row + r, column + c, on ? lit : dark);
        }
}

QSize LedMatrix::sizeHint() const
{
    if (rows_ > 0 && columns_ > 0)
        return QSize(qRound(widthUnits_), qRound(heightUnits_));
    qWarning("LedMatrix::sizeHint: no rows or columns to display, defaulting size to (10,10)");
    return QSize(10, 10);
}

void LedMatrix::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing);
    if (backgroundMode_ == Qt::OpaqueMode)
        painter.fillRect(0, 0, width(), height(), background_);
    if (heightUnits_ <= 0 || widthUnits_ <= 0)
        return;

    const double w = width();
    const double h = height();
    const double widgetAspect = w / h;
    painter.translate(w * 0.5, h * 0.5);
    if (widgetAspect > aspect_)
        painter.scale(h / heightUnits_, h / heightUnits_);
    else if (widgetAspect < aspect_)
        painter.scale(w / widthUnits_, w / widthUnits_);
    else
        painter.scale(w / widthUnits_, h / heightUnits_);
    // Centred, shifted by one unit right and down.
    painter.translate(1 - widthUnits_ * 0.5, 1 - heightUnits_ * 0.5);

    // Neighbouring LEDs touch; the background shows only in the gaps between the circles. The
    // brush changes only where the colour does, which is rare on a menu.
    QRgb brushValue = 0;
    bool haveBrush = false;
    for (int row = 0; row < rows_; ++row)
        for (int column = 0; column < columns_; ++column) {
            const QRgb value = leds_[column][row];
            if (!haveBrush || value != brushValue) {
                painter.setBrush(value == kDefaultDark ? kUnlitPaint : QColor(value));
                brushValue = value;
                haveBrush = true;
            }
            painter.drawEllipse(QRectF(column * kUnitsPerLed, row * kUnitsPerLed,
                                       kUnitsPerLed, kUnitsPerLed));
        }
}
