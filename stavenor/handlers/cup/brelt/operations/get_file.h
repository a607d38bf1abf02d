// Fetching a file from a unit into a local directory, part by part, each part acknowledged.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

#include <cstdio>

class GetFileOperation : public Operation {
public:
    GetFileOperation(Brelt* unit, const std::string& remotePath);
    ~GetFileOperation() override;
    int run() override;
    void cleanup() override;
    bool onTimeout() override;

    int setLocalDir(const std::string& value);
    int setRemoteDir(const std::string& value);
    int setKind(int value);
    void setQuiet() { quiet = true; }
    std::string getFileName() const { return fileName; }

private:
    void onPart(const FrameHeader* part);
    void onError(const FrameHeader* answer);
    void sendFragmentAck(const FrameHeader* part);
    // Ends a failed download: nothing partial stays and no stale file is offered afterwards.
    void failDownload();
    std::string localPath() const;

    FILE* file = nullptr;
    bool running = false;
    std::string fileName;
    std::string remoteDir;
    std::string localDir = "./";
    bool quiet = false;
    int32_t category = 0;
    int32_t lastPart = -1;
    int32_t partCount = 0;
    std::string temporaryPath;
};
