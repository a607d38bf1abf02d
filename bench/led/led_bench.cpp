// Full paints per second of the handset display's 128 x 64 LED matrix: at the size that the status
// text window gives it and at 1280 x 640 (its size hint), on the raster engine of the offscreen
// platform. Each paint draws every LED. usage: led_bench [seconds per size]
#include "ktxtext.h"
#include "ledmatrix.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {

void measure(const char* name, LedMatrix& matrix, double seconds)
{
    QImage image(matrix.size(), QImage::Format_ARGB32_Premultiplied);
    matrix.render(&image); // warm-up
    QElapsedTimer timer;
    timer.start();
    long paints = 0;
    while (timer.nsecsElapsed() < seconds * 1e9) {
        matrix.render(&image);
        ++paints;
    }
    const double elapsed = timer.nsecsElapsed() / 1e9;
    std::printf("%-28s %4d x %-4d  %6ld paints in %.2f s  %8.1f paints/s  %6.2f ms/paint\n", name,
                matrix.width(), matrix.height(), paints, elapsed, paints / elapsed, 1000 * elapsed / paints);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;

    // A window's matrix with text on it, laid out at the window's size.
    KTXText window;
    QByteArray payload("Morvex Radio Server;Connection to KTX lost!");
    window.init(payload.data());
    window.show();
    app.processEvents();
    LedMatrix* windowMatrix = window.findChild<LedMatrix*>("text");
    measure("status text window", *windowMatrix, seconds);

    LedMatrix large;
    large.setColumns(128);
    large.setRows(64);
    large.setBackgroundColor(QColor::fromRgb(0x7bd96f));
    large.setDrawColor(Qt::black);
    large.drawText("Connection to KTX", 7, 1, LedMatrix::kLargeFont);
    large.drawText("lost!", 18, 1, LedMatrix::kLargeFont);
    large.resize(large.sizeHint());
    measure("size hint", large, seconds);
    return 0;
}
