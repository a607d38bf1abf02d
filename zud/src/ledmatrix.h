// A dot-matrix LED display: a grid of round LEDs, each holding one colour value, painted scaled to
// the widget with the grid's aspect kept. The handset windows draw their menus on it.
//
// Row 0 is the top row, column 0 the leftmost. Every change of LEDs, colours, mode or size only
// schedules a repaint, so drawing a whole menu costs one paint.
#pragma once

#include <QBrush>
#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

class LedMatrix : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(Qt::BGMode backgroundMode READ backgroundMode WRITE setBackgroundMode)
    Q_PROPERTY(QColor darkLedColor READ darkLedColor WRITE setDarkLedColor)
    Q_PROPERTY(int rows READ rows WRITE setRows)
    Q_PROPERTY(int columns READ columns WRITE setColumns)

public:
    // Fonts of drawText: large 6 x 7 cells, small 4 x 5 cells.
    static constexpr int kLargeFont = 0;
    static constexpr int kSmallFont = 1;

    explicit LedMatrix(QWidget* parent = nullptr);

    QColor backgroundColor() const;
    void setBackgroundColor(const QColor& color);
    Qt::BGMode backgroundMode() const;
    void setBackgroundMode(Qt::BGMode mode);
    QColor darkLedColor() const;
    // Gives every LED that holds the old dark colour's value the new one; lit LEDs keep theirs.
    void setDarkLedColor(const QColor& color);
    int rows() const;
    void setRows(int rows);
    int columns() const;
    void setColumns(int columns);

    // Outside the matrix: a warning, and the dark colour's value.
    QRgb colorAt(int row, int column) const;
    // Outside the matrix: a warning, and nothing changes.
    void setColorAt(int row, int column, QRgb value, bool repaint = true);

    QColor drawColor() const;
    void setDrawColor(const QColor& color);

    void clear();
    // A frame with sides on rows top and bottom and columns left and right, one LED thick, or
    // two (outer corners left as they were) with borderStyle 1; fill darkens the inside first.
    void drawRect(int top, int left, int bottom, int right, int borderStyle, bool fill);
    void drawText(const QString& text, int row, int column, int font);
    // The 20 x 20 hourglass, its top-left LED at (row, column); it erases what lay under it.
    void drawHoldSymbol(int row, int column);
    // One character with the top-left LED of its cell at (row, column); the whole cell is written,
    // the gap column included. A character without a glyph leaves the cell as it was; the small
    // font also ignores an origin off the matrix.
    void drawLargeGlyph(char character, int row, int column);
    void drawSmallGlyph(char character, int row, int column);

    QSize sizeHint() const override;

signals:
    void key(int code);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool contains(int row, int column) const;

    QBrush background_{Qt::black, Qt::SolidPattern};
    Qt::BGMode backgroundMode_ = Qt::OpaqueMode;
    QColor darkLedColor_{0xff222222};
    std::vector<std::vector<QRgb>> leds_; // [column][row]
    int rows_ = 0;
    int columns_ = 0;
    double heightUnits_ = 0;
    double widthUnits_ = 0;
    double aspect_ = 0;
    QColor drawColor_;
};
