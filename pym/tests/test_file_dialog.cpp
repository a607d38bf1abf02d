// The kind of file a page's upload field asks for, read from what the field accepts when the page
// is too busy to name it in time: every list the pages set gives its kind back.
#include "client/file_dialog.h"

#include <QTest>

class FileDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void kindAccepted_data();
    void kindAccepted();
};

void FileDialogTest::kindAccepted_data()
{
    QTest::addColumn<QStringList>("accepted");
    QTest::addColumn<QString>("kind");
    // The pages' lists (web/common/upload.js), then what no dialog of ours filters.
    QTest::newRow("module") << QStringList{".mod"} << "mod";
    QTest::newRow("firmware") << QStringList{".dis"} << "dis";
    QTest::newRow("image") << QStringList{".bin"} << "bin";
    QTest::newRow("configuration") << QStringList{".conf"} << "conf";
    QTest::newRow("recording") << QStringList{".wav", "audio/wav"} << "wav";
    QTest::newRow("icon") << QStringList{".bmp", ".jpg", ".jpeg", ".png"} << "img";
    QTest::newRow("capitals") << QStringList{".PNG"} << "img";
    QTest::newRow("a type only") << QStringList{"audio/wav"} << "";
    QTest::newRow("unknown") << QStringList{".txt"} << "";
    QTest::newRow("anything") << QStringList{} << "";
}

void FileDialogTest::kindAccepted()
{
    QFETCH(QStringList, accepted);
    QFETCH(QString, kind);
    QCOMPARE(::kindAccepted(accepted), kind);
}

QTEST_GUILESS_MAIN(FileDialogTest)
#include "test_file_dialog.moc"
