// A real status text window on an X screen (Xvfb): the screen is photographed with ImageMagick's
// import and the LEDs are decoded at their centres, as the window's size scales them.
//
// The photographs are kept in ZUD_SCREENSHOT_DIR (else the working directory).
#include "ktxabstract.h"
#include "ktxtext.h"
#include "ledmatrix.h"
#include "ledpicture.h"
#include "radiocontrolwidget.h"
#include "serverrecord.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <cstring>

namespace {

QString screenshotPath(const QString& name)
{
    const QString dir = qEnvironmentVariable("ZUD_SCREENSHOT_DIR", QDir::currentPath());
    QDir().mkpath(dir);
    return dir + "/" + name;
}

// The LEDs of the current window's matrix as the screen shows them.
LedPicture shownOnScreen(const QImage& screen, RadioControlWidget& widget, const char* matrixName)
{
    const LedMatrix* matrix = widget.currentWindow()->findChild<LedMatrix*>(matrixName);
    const QRect area(matrix->mapToGlobal(QPoint(0, 0)), matrix->size());
    return decodeLeds(screen, area, 64, 128, 40);
}

QImage photographScreen(const QString& path)
{
    QProcess import;
    import.start("import", {"-window", "root", path});
    if (!import.waitForFinished(20000) || import.exitCode() != 0)
        qWarning("import: %s", import.readAllStandardError().constData());
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class KtxScreenTest : public QObject {
    Q_OBJECT

private slots:
    void statusTextOnScreen();
    void handsetOnScreen();
};

void KtxScreenTest::statusTextOnScreen()
{
    QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display (run under xvfb-run)");
    KTXText window;
    QByteArray payload("Morvex Radio Server;Connecting to KTX...");
    window.init(payload.data());
    window.move(40, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);

    const QImage screen = photographScreen(screenshotPath("ktx_text.png"));
    QVERIFY(!screen.isNull());

    const LedMatrix* matrix = window.findChild<LedMatrix*>("text");
    const QRect area(matrix->mapToGlobal(QPoint(0, 0)), matrix->size());
    QVERIFY2(screen.rect().contains(area), "the matrix lies off the screen");
    // At about 2.7 pixels a LED the centre pixel is nearly covered by its circle: a small
    // tolerance for the antialiased edge.
    const LedPicture shown = decodeLeds(screen, area, 64, 128, 40);
    LedPicture expected(64, 128, '.');
    expected.drawText("Connecting to KTX...", 7, 1, 0);
    QVERIFY2(shown == expected, qPrintable(shown.diff(expected)));

    // The title: the label as it draws itself is what the screen shows at its place.
    QLabel* title = window.findChild<QLabel*>("title");
    QCOMPARE(title->text(), QString("Morvex Radio Server"));
    const QImage label = title->grab().toImage().convertToFormat(QImage::Format_RGB888);
    const QImage labelShown = screen.copy(QRect(title->mapToGlobal(QPoint(0, 0)), title->size()))
                                  .convertToFormat(QImage::Format_RGB888);
    QCOMPARE(labelShown.size(), label.size());
    for (int y = 0; y < label.height(); ++y)
        QVERIFY(std::memcmp(labelShown.constScanLine(y), label.constScanLine(y), 3 * label.width()) == 0);
    int ink = 0;
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x)
            ink += qGray(label.pixel(x, y)) < 100;
    QVERIFY2(ink > 100, "the title label shows no text");
}

void KtxScreenTest::handsetOnScreen()
{
    // No unit behind it: what the widget sends goes nowhere, what it receives is shown.
    RadioControlWidget widget("Radio1", "Nord");
    widget.move(40, 30);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    deliver(widget, serverRecord(512, 1, "o:b1i=1;b1s=1;b2i=3;b2s=1;b4i=6|c:Main menu\nCall Radio1\nScan\nexit 4"));
    QCOMPARE(widget.currentWindow()->type, int(KtxMainWindow));
    QTest::qWait(300);
    LedPicture menu(64, 128, '.');
    menu.drawText("Main menu", 16, 3, 1);
    menu.drawText("Call Radio1", 24, 3, 0);
    menu.drawText("Scan", 33, 3, 0);
    menu.drawText("exit 4", 42, 3, 1);
    // All four soft keys whole inside the window.
    QWidget *main = widget.currentWindow();
    for (const char *name : {"btn1", "btn2", "btn3", "btn4"}) {
        const QWidget *key = main->findChild<QWidget *>(name);
        QVERIFY2(main->rect().contains(key->geometry()), name);
    }
    const QImage first = photographScreen(screenshotPath("handset_main.png"));
    const LedPicture shownMenu = shownOnScreen(first, widget, "led");
    QVERIFY2(shownMenu == menu, qPrintable(shownMenu.diff(menu)));

    deliver(widget, serverRecord(512, 6, "o:title=Upload;cancel=1;progress=40|c:x"));
    QCOMPARE(widget.currentWindow()->type, int(KtxProgressWindow));
    QTest::qWait(300);
    LedPicture progress(64, 128, '.');
    for (int row = 27; row <= 40; ++row)
        for (int column = 2; column <= 124; ++column)
            if (column <= 52 || row == 27 || row == 40 || column == 124)
                progress.set(row, column, '#');
    progress.drawText("40%", 46, 54, 0);
    const QImage second = photographScreen(screenshotPath("handset_progress.png"));
    const LedPicture shownProgress = shownOnScreen(second, widget, "text");
    QVERIFY2(shownProgress == progress, qPrintable(shownProgress.diff(progress)));
}

QTEST_MAIN(KtxScreenTest)
#include "test_ktxscreen.moc"
