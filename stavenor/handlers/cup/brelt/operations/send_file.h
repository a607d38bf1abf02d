// Copying a file to a unit: a FIL request, then the contents in parts of up to 1024 bytes, one
// part per acknowledgement.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Why a file of `size` bytes, named `fileName`, cannot go to a unit (empty when it can): part
// numbers are 16 bits, names fill a field of the request.
std::string uploadRefusal(uint64_t size, const std::string& fileName);

class SendFileOperation : public Operation {
public:
    SendFileOperation(Brelt* unit, const std::string& localPath);
    ~SendFileOperation() override;
    int run() override;
    void cleanup() override;
    bool onTimeout() override;

    int setKind(int value);
    int setFromMemory(bool value);
    int setTargetDir(const std::string& value);
    void waitForReport() { waitForReportMode = true; }
    // What the file is to the person who must provide it ("test file"): a missing file is then
    // reported as that, with the place to put it.
    void setFileRole(const std::string& value) { fileRole = value; }
    std::string silenceReason() const override { return "the unit stopped answering during the upload"; }
    std::string getFileName() const { return fileName; }

private:
    void onAck(const FrameHeader* ack);
    void onFragment(const FrameHeader* report);
    void onError(const FrameHeader* answer);
    void sendNextPart();
    void end(bool success);

    FILE* file = nullptr;
    bool running = false;
    std::string fileName;
    std::string fileRole;
    std::string targetDir = "/tmp";
    std::string localDir;
    int32_t category = 0;
    bool waitForReportMode = false;
    bool fromMemory = false;
    int32_t partNumber = 0;
    int32_t partCount = 0;
};
