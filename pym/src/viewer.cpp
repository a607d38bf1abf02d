#include "viewer.h"

#include "logger.h"

#include <QPointer>
#include <QSettings>
#include <QWidget>

const char* const PRODUCT_TITLE = "ZT-5200K Digital Intercom System Control Center";

namespace {

bool gInspectorEnabled = false;
QPointer<QWidget> gMainWindow;

} // namespace

QSettings& settings()
{
    struct Store : QSettings {
        Store()
            : QSettings(QStringLiteral("Morvex Corporation"), QString::fromLatin1(PRODUCT_TITLE))
        {
            // A sync writes a new file and renames it over the old one.
            setAtomicSyncRequired(true);
        }
    };
    static Store store;
    return store;
}

bool inspectorEnabled()
{
    return gInspectorEnabled;
}

QWidget* mainWindow()
{
    return gMainWindow;
}

void setMainWindow(QWidget* window)
{
    gMainWindow = window;
}

viewer::viewer(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ZT-5200K Configuration Tool"));
    setOrganizationName(QStringLiteral("Morvex Corporation"));
    parseArguments();
    LOG_MESSAGE(LOG_APP, QStringLiteral("viewer started"));
}

viewer::~viewer()
{
    writeLog(LOG_APP, QStringLiteral("viewer bye bye"));
}

void viewer::parseArguments()
{
    gInspectorEnabled = false;
    for (const QString& argument : arguments()) {
        if (argument.startsWith(QLatin1String("-l"))) {
            bool ok = false;
            const int mask = argument.mid(2).toInt(&ok, 10);
            if (!ok) continue;
            // Tested against the old mask: "-l0" still says what it did.
            writeLog(LOG_APP, QStringLiteral("logger mask set from 0x%1 to 0x%2").arg(hexMask(logMask()), hexMask(mask)));
            setLogMask(mask);
        } else if (argument == QLatin1String("-i")) {
            gInspectorEnabled = true;
        }
    }
}
