#include "audio.h"
#include "centralunitmanager.h"
#include "confignode.h"
#include "connectionstreewidget.h"
#include "singleinstance.h"
#include "zudmainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // A console already running is asked to come to the front; this one runs all the same. The
    // first keeps answering later starts.
    SingleInstance instance;
    if (!SingleInstance::notifyRunning())
        instance.listen();

    QCoreApplication::setOrganizationName("RE Zazazazezoz");
    QCoreApplication::setApplicationName("Next Generation ZUD");

    gConfig.load(gConfigFileName);
    const ConfigNode *username = gConfig.get({"system", "username"});
    gOperatorName = username ? username->value : QStringLiteral("ZUD Operator");

    // The devices zud.conf names, else the default ones; without any device the engine ends the
    // program.
    auto *audio = new Audio;
    const ConfigNode *output = gConfig.get({"system", "audio", "output"});
    audio->openPlaybackDevice(output ? output->value : QString());
    const ConfigNode *input = gConfig.get({"system", "audio", "input"});
    audio->openCaptureDevice(input ? input->value : QString());

    auto *window = new ZudMainWindow;
    gZudWindow = window;
    QObject::connect(&instance, &SingleInstance::raiseRequested, window, &ZudMainWindow::receivedMessage);

    auto *manager = new CentralUnitManager;
    window->connectionsTree()->setUnitManager(manager);
    QObject::connect(manager, &CentralUnitManager::blocked, window, &ZudMainWindow::onCUBlocked);

    window->restoreSettings();
    window->show();
    app.exec();

    delete manager;
    delete window;
    gZudWindow = nullptr;
    delete audio;
    return 0;
}
