// A real status text window on an X screen (Xvfb): the screen is photographed with ImageMagick's
// import and the LEDs are decoded at their centres, as the window's size scales them.
//
// The photograph is kept as ktx_text.png in ZUD_SCREENSHOT_DIR (else the working directory).
#include "ktxtext.h"
#include "ledmatrix.h"
#include "ledpicture.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <cstring>

namespace {

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

    const QString dir = qEnvironmentVariable("ZUD_SCREENSHOT_DIR", QDir::currentPath());
    QDir().mkpath(dir);
    const QImage screen = photographScreen(dir + "/ktx_text.png");
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

QTEST_MAIN(KtxScreenTest)
#include "test_ktxscreen.moc"
