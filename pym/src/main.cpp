// pym: the control-centre window over the local configuration server.

#include "client/webview.h"
#include "stavenor/stavenor.h"
#include "viewer.h"

#include <QtDebug>

int main(int argc, char* argv[])
{
    qDebug("%s compiled [%s] [%s] on [%s]\n", "ZT-5200K Configuration Tool", __DATE__, __TIME__, PYM_BUILD_HOST);
    viewer application(argc, argv);
    stavenor server(&application);
    webview window;
    return application.exec();
}
