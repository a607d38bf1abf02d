#include "handlers/cup/curtain/tftp_server.h"

#include "common/logger.h"

TftpServer::TftpServer() { LOG(LOG_CURTAIN, "TftpServer created (not operational in this build)"); }

TftpServer::~TftpServer() { LOG(LOG_CURTAIN, "TftpServer deleted"); }
