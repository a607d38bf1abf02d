#include "handlers/cup/brelt/operations/directory.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <cstring>

namespace {
constexpr size_t DIR_PATH_FIELD = 512;
constexpr uint16_t DIR_REQUEST_PL = FRAME_HEADER_SIZE + 550;
constexpr size_t LIST_OPTION_OFFSET = 546;
} // namespace

DirectoryOperation::DirectoryOperation(Brelt* unit, const std::string& dirPath_, uint8_t action_)
    : Operation(unit), dirPath(dirPath_), action(action_)
{
}

int DirectoryOperation::run()
{
    if (dirPath.size() > DIR_PATH_FIELD) {
        LOG(LOG_BRELT, "brelt %s : directory path too long for its field, not sent\n", unitId());
        done.emit(false);
        return -1;
    }
    FrameBuffer frame;
    frame.header.t = MSG_DIR;
    frame.header.pl = DIR_REQUEST_PL;
    frame.payload[0] = action;
    memcpy(frame.payload + 1, dirPath.data(), dirPath.size());
    frame.payload[LIST_OPTION_OFFSET] = listOption & 0xFF;
    frame.payload[LIST_OPTION_OFFSET + 1] = listOption >> 8;
    hookAnswer(successType, sigc::mem_fun(*this, &DirectoryOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &DirectoryOperation::onError));
    return sendRequest(frame);
}

void DirectoryOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    if (action == 1) {
        cleanup();
        unit->setFlag("ls dir status", false);
    }
    fail(true);
}

LsDir::LsDir(Brelt* unit, const std::string& dirPath) : DirectoryOperation(unit, dirPath, 1)
{
    name = "list directory";
    successType = MSG_LST;
}

int LsDir::setListOption(uint16_t value)
{
    listOption = value;
    return 0;
}

int LsDir::run()
{
    unit->eraseFlag("ls dir status");
    return DirectoryOperation::run();
}

void LsDir::onSuccess(const FrameHeader* answer)
{
    const std::string text = answerText(answer, 0);
    LOG(LOG_BRELT, "brelt %s : directory content...\n", unitId());
    LOG(LOG_BRELT_DETAIL, "brelt %s : \t%s\n", unitId(), text.c_str());
    unit->setFlag("ls dir status", true);
    unit->setSetting("dir content", text);
    cleanup();
    done.emit(true);
}

RmDir::RmDir(Brelt* unit, const std::string& dirPath) : DirectoryOperation(unit, dirPath, 2)
{
    name = "remove directory";
    progressText = "removing directory";
}

int RmDir::run()
{
    LOG(LOG_BRELT, "brelt %s : rm dir %s\n", unitId(), dirPath.c_str());
    setProgress(0, progressText);
    return DirectoryOperation::run();
}

void RmDir::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : directory removed\n", unitId());
    finish();
}

RmDirContent::RmDirContent(Brelt* unit, const std::string& dirPath) : DirectoryOperation(unit, dirPath, 3)
{
    name = "remove directory content";
    timeoutMs = 5000;
}

void RmDirContent::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : directory content removed\n", unitId());
    cleanup();
    done.emit(true);
}
