#include "handlers/cup/brelt/operations/send_file.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/operations/file_payload.h"
#include "handlers/cup/brelt/protocol.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {
constexpr size_t PART_SIZE = 1024;
// Part numbers travel in 16 bits: 65,534 data parts at most.
constexpr int32_t PART_LIMIT = 0xFFFF;
constexpr uint64_t SIZE_LIMIT = uint64_t(PART_LIMIT - 1) * PART_SIZE;
} // namespace

std::string uploadRefusal(uint64_t size, const std::string& fileName)
{
    if (size > SIZE_LIMIT)
        return "the file is too big for a unit: " + std::to_string(size) + " bytes, at most " +
               std::to_string(SIZE_LIMIT);
    FilePayload payload;
    if (!putField(payload.name, fileName)) return "the file's name is too long for a unit";
    return "";
}

SendFileOperation::SendFileOperation(Brelt* unit, const std::string& localPath)
    : Operation(unit), fileName(nameOf(localPath)), localDir(directoryOf(localPath))
{
    name = "send file";
    progressText = "file upload";
    weight = 200;
    timeoutMs = 3000;
}

SendFileOperation::~SendFileOperation()
{
    if (file) fclose(file);
}

int SendFileOperation::setKind(int value)
{
    if (running) return -4;
    category = value;
    return 0;
}

int SendFileOperation::setFromMemory(bool value)
{
    if (running) return -4;
    fromMemory = value;
    return 0;
}

int SendFileOperation::setTargetDir(const std::string& value)
{
    if (running) return -4;
    targetDir = value;
    return 0;
}

int SendFileOperation::run()
{
    uint64_t size = 0;
    if (fromMemory) {
        size = unit->getAnnouncementPackage().size();
    } else {
        file = fopen((localDir + fileName).c_str(), "rb");
        if (!file || fseeko(file, 0, SEEK_END) != 0) {
            std::error_code ignored;
            const std::string where =
                std::filesystem::absolute(localDir + fileName, ignored).lexically_normal().string();
            failureReason = fileRole.empty() ? "the PC has no file " + where
                                             : "the PC has no " + fileRole + ": put it at " + where;
            done.emit(false);
            return -1;
        }
        size = static_cast<uint64_t>(ftello(file));
        fseeko(file, 0, SEEK_SET);
    }
    FrameBuffer frame;
    FilePayload& payload = filePayload(frame);
    failureReason = uploadRefusal(size, fileName);
    if (failureReason.empty() && (!putField(payload.name, fileName) || !putField(payload.path, targetDir)))
        failureReason = "the unit's folder name is too long: " + targetDir;
    if (!failureReason.empty()) {
        LOG(LOG_BRELT, "brelt %s : %s cannot be sent (too big, or a name too long)\n", unitId(), fileName.c_str());
        end(false);
        return -1;
    }
    partCount = static_cast<int32_t>((size + PART_SIZE - 1) / PART_SIZE + 1);
    frame.header.t = MSG_FIL;
    frame.header.pl = FILE_REQUEST_PL;
    frame.header.partCount = static_cast<uint16_t>(partCount);
    frame.header.partNumber = 0;
    payload.type = static_cast<uint8_t>(category);
    payload.actn = FILE_UPDATE;
    partNumber = 0;
    progressCurrent = 0;
    progressTotal = partCount;
    setProgress(0, progressText);
    running = true;
    hookAnswer(MSG_FRG, sigc::mem_fun(*this, &SendFileOperation::onFragment));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &SendFileOperation::onError));
    hookAnswer(MSG_A_O, sigc::mem_fun(*this, &SendFileOperation::onAck));
    return sendRequest(frame);
}

void SendFileOperation::onAck(const FrameHeader*)
{
    if (!running) return;
    // Done only once the unit has the last part: its acknowledgement, not its sending, ends the upload.
    // An empty file still goes as one part without data.
    if (!waitForReportMode && partNumber >= std::max(partCount - 1, 1)) {
        LOG(LOG_BRELT, "brelt %s : file sent successfully to ", unitId());
        LOG(LOG_BRELT, "%s%s%s %s\n", targetDir.c_str(), !targetDir.empty() && targetDir.back() == '/' ? "" : "/",
            fileName.c_str(), category == FILE_TO_RAM ? "to RAM" : "");
        cleanup();
        setProgress(partCount, "");
        end(true);
        return;
    }
    sendNextPart();
}

void SendFileOperation::sendNextPart()
{
    if (partNumber >= PART_LIMIT) return; // no part number left: the time-out ends the wait
    const int32_t n = ++partNumber;
    armTimeout();
    LOG(LOG_BRELT_DETAIL, "brelt %s : sending file part % 5d/%d (%s)\n", unitId(), n, partCount - 1,
        fileName.c_str());
    if (!waitForReportMode) setProgress(n, "");

    FrameBuffer frame;
    size_t length = 0;
    const uint64_t offset = uint64_t(n - 1) * PART_SIZE;
    if (fromMemory) {
        const std::vector<uint8_t>& package = unit->getAnnouncementPackage();
        if (offset < package.size()) {
            length = std::min<uint64_t>(PART_SIZE, package.size() - offset);
            memcpy(frame.payload, package.data() + offset, length);
        }
    } else if (file && n < partCount && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0) {
        length = fread(frame.payload, 1, PART_SIZE, file);
    }
    if (n == 1) {
        size_t mark = 0;
        if (length >= 3 && memcmp(frame.payload, "\xEF\xBB\xBF", 3) == 0) mark = 3;
        else if (length >= 2 && (memcmp(frame.payload, "\xFF\xFE", 2) == 0 || memcmp(frame.payload, "\xFE\xFF", 2) == 0))
            mark = 2;
        memmove(frame.payload, frame.payload + mark, length - mark);
        length -= mark;
    }
    frame.header.t = MSG_FIL;
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + length);
    frame.header.partCount = static_cast<uint16_t>(partCount);
    frame.header.partNumber = static_cast<uint16_t>(n);
    protocol->send(&frame.header);
}

void SendFileOperation::onFragment(const FrameHeader* report)
{
    progressTotal = report->partCount;
    if (report->partNumber > report->partCount) {
        failureReason = "the unit's report on the upload made no sense";
        cleanup();
        end(false);
        return;
    }
    setProgress(report->partNumber, answerText(report, 0));
    if (report->partNumber == report->partCount) {
        cleanup();
        end(true);
    }
}

void SendFileOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : FILE ERROR\n", unitId());
    failureReason = "the unit refused the upload" + refusalWords();
    cleanup();
    end(false);
}

bool SendFileOperation::onTimeout()
{
    LOG(LOG_BRELT, "brelt %s : is not responding\n", unitId());
    failureReason = silenceReason();
    cleanup();
    end(false);
    return false;
}

void SendFileOperation::cleanup()
{
    timeoutConnection.disconnect();
    Operation::cleanup();
}

void SendFileOperation::end(bool success)
{
    if (file) fclose(file);
    file = nullptr;
    running = false;
    done.emit(success);
}
