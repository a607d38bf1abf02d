// What an LED matrix shows, as rows of characters: '#' lit, '.' unlit, and any other character for
// an LED in some third state (a test's marker colour, or a pixel that decodes to neither).
//
// Expected pictures are drawn from the test tree's own glyph table (data/led_glyphs.txt), never
// from the product's fonts; actual ones are read from a matrix's LEDs or decoded from the pixels
// of a real window.
#pragma once

#include <QColor>
#include <QImage>
#include <QMap>
#include <QRectF>
#include <QStringList>

class LedMatrix;

class LedGlyphTable {
public:
    // Reads data/led_glyphs.txt; a malformed table fails the test that loads it.
    static const LedGlyphTable& instance();

    // The rows of a glyph with its gap column, or an empty list for a character without one.
    QStringList large(char character) const;
    QStringList small(char character) const;
    QStringList hold() const;
    QList<char> largeCharacters() const;
    QList<char> smallCharacters() const;

private:
    QMap<char, QStringList> large_;
    QMap<char, QStringList> small_;
    QStringList hold_;
};

struct LedPicture {
    // rows x columns LEDs, all of the character fill.
    LedPicture(int rows, int columns, QChar fill);

    // Text as the matrix draws it: one cell a character, a character without a glyph leaving its
    // cell as it was, LEDs off the picture dropped. Font 0 large, 1 small.
    void drawText(const QString& text, int row, int column, int font);
    void drawCell(const QStringList& cell, int row, int column);
    void set(int row, int column, QChar state);
    QChar at(int row, int column) const;
    int count(QChar state) const;
    // The picture's rows, with the first differing LED named, for a failure message.
    QString diff(const LedPicture& other) const;

    QStringList lines;
};

bool operator==(const LedPicture& a, const LedPicture& b);

// The matrix's LEDs: '#' the drawing colour, '.' the dark colour, other any other value.
LedPicture readLeds(const LedMatrix& matrix, QChar other = 'x');

// Where the centre of LED (row, column) falls in a widget of the given size painting a matrix of
// rows x columns LEDs (10 units a LED, grid centred and shifted by one unit right and down).
QPointF ledCentre(QSizeF widget, int rows, int columns, int row, int column);

// Decodes the pixels at the LED centres of a matrix painted into area of image: '#' dark (lit
// LEDs are black), '.' the pale unlit paint (230, 221, 213), '?' anything else. tolerance is the
// largest difference per channel still taken for a colour; 0 asks for the exact colours.
LedPicture decodeLeds(const QImage& image, const QRect& area, int rows, int columns, int tolerance);

// A pixel's colour class as decodeLeds sees it.
QChar classifyPixel(QColor color, int tolerance);

// The frame of LedMatrix::drawRect(top, left, bottom, right, 0, false): one LED thick.
void drawFrame(LedPicture& picture, int top, int left, int bottom, int right);
