#include "handlers/cup/brelt/operations/get_file.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/operations/file_payload.h"
#include "handlers/cup/brelt/protocol.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

GetFileOperation::GetFileOperation(Brelt* unit, const std::string& remotePath)
    : Operation(unit), fileName(nameOf(remotePath)), remoteDir(directoryOf(remotePath))
{
    name = "get file";
    progressText = "file download";
    weight = 200;
    timeoutMs = 4000;
}

GetFileOperation::~GetFileOperation()
{
    if (file) fclose(file);
    if (!temporaryPath.empty()) unlink(temporaryPath.c_str());
}

int GetFileOperation::setLocalDir(const std::string& value)
{
    if (running) return -4;
    localDir = value;
    return 0;
}

int GetFileOperation::setRemoteDir(const std::string& value)
{
    if (running) return -4;
    remoteDir = value;
    return 0;
}

int GetFileOperation::setKind(int value)
{
    if (running) return -4;
    category = value;
    return 0;
}

std::string GetFileOperation::localPath() const
{
    return localDir + (!localDir.empty() && localDir.back() == '/' ? "" : "/") + fileName;
}

int GetFileOperation::run()
{
    FrameBuffer frame;
    FilePayload& payload = filePayload(frame);
    // The local name comes from the unit's path: it must name a file inside the local directory.
    const bool nameOk = !fileName.empty() && fileName != "." && fileName != "..";
    if (!nameOk || !putField(payload.name, fileName) || !putField(payload.path, remoteDir)) {
        LOG(LOG_BRELT, "brelt %s : cannot fetch `%s` from `%s`\n", unitId(), fileName.c_str(), remoteDir.c_str());
        done.emit(false);
        return -1;
    }
    // Written beside its final place and renamed there only when complete.
    std::string pattern = localPath() + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0 || !(file = fdopen(fd, "wb"))) {
        if (fd >= 0) close(fd);
        done.emit(false);
        return -1;
    }
    temporaryPath = pattern;
    frame.header.t = MSG_FIL;
    frame.header.pl = FILE_REQUEST_PL;
    frame.header.partCount = 1;
    frame.header.partNumber = 0;
    payload.type = static_cast<uint8_t>(category);
    payload.actn = FILE_DOWNLOAD;
    lastPart = -1;
    progressCurrent = 0;
    progressTotal = 1;
    setProgress(0, progressText);
    running = true;
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &GetFileOperation::onError));
    hookAnswer(MSG_FIL, sigc::mem_fun(*this, &GetFileOperation::onPart));
    return sendRequest(frame);
}

void GetFileOperation::sendFragmentAck(const FrameHeader* part)
{
    FrameBuffer frame;
    memcpy(reinterpret_cast<uint8_t*>(&frame), part, std::min<size_t>(part->pl, FRAME_HEADER_SIZE + 14));
    frame.header.t = MSG_FIL;
    filePayload(frame).actn = FILE_FRAGMENT_ACK;
    frame.header.pl = FILE_REQUEST_PL;
    protocol->send(&frame.header);
}

void GetFileOperation::onPart(const FrameHeader* part)
{
    if (!running) return;
    const int32_t number = part->partNumber;
    partCount = part->partCount;
    if (partCount == 0 || number >= partCount || (number != lastPart && number != lastPart + 1)) {
        LOG(LOG_BRELT, "brelt %s : part %d of %d out of order after %d\n", unitId(), number, partCount, lastPart);
        failDownload();
        return;
    }
    progressTotal = partCount;
    sendFragmentAck(part);
    if (number != lastPart) {
        // Only a new part is progress: a unit that keeps repeating one it sees no acknowledgement
        // for must not hold the download open for ever.
        armTimeout();
        const size_t length = part->pl - FRAME_HEADER_SIZE;
        if (fwrite(part->payload(), 1, length, file) != length) {
            failDownload();
            return;
        }
        LOG(LOG_BRELT_DETAIL, "brelt %s : received file part % 5d/%d (%s)\n", unitId(), number, partCount,
            fileName.c_str());
        if (!quiet) setProgress(number, "");
        lastPart = number;
    }
    if (number != partCount - 1) return;
    LOG(LOG_BRELT, "brelt %s : file received successfully", unitId());
    cleanup();
    const bool written = fclose(file) == 0;
    file = nullptr;
    if (!written || rename(temporaryPath.c_str(), localPath().c_str()) != 0) {
        failDownload();
        return;
    }
    temporaryPath.clear();
    setProgress(progressTotal, "");
    running = false;
    unit->setSetting("downloaded file", fileName);
    unit->setSetting("downloaded file path", localDir);
    done.emit(true);
}

void GetFileOperation::failDownload()
{
    cleanup();
    if (file) fclose(file);
    file = nullptr;
    if (!temporaryPath.empty()) unlink(temporaryPath.c_str());
    temporaryPath.clear();
    unit->eraseSetting("downloaded file");
    unit->eraseSetting("downloaded file path");
    running = false;
    done.emit(false);
}

void GetFileOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : FILE ERROR\n", unitId());
    failDownload();
}

bool GetFileOperation::onTimeout()
{
    LOG(LOG_BRELT, "brelt %s : is not responding\n", unitId());
    failDownload();
    return false;
}

void GetFileOperation::cleanup()
{
    timeoutConnection.disconnect();
    Operation::cleanup();
}
