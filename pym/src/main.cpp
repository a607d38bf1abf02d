// pym: the control-centre window over the local configuration server.

#include "client/webview.h"
#include "logger.h"
#include "single_instance.h"
#include "stavenor/stavenor.h"
#include "viewer.h"

#include <QtDebug>

int main(int argc, char* argv[])
{
    qDebug("%s compiled [%s] [%s] on [%s]\n", "ZT-5200K Configuration Tool", __DATE__, __TIME__, PYM_BUILD_HOST);
    viewer application(argc, argv);
    // Before the server watcher: it would end the running control centre's server.
    SingleInstance instance;
    if (instance.handedOver()) {
        LOG_MESSAGE(LOG_APP, QStringLiteral("control centre already running - its window is brought forward"));
        return 0;
    }
    stavenor server(&application);
    webview window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &webview::bringForward);
    return application.exec();
}
