#include "handlers/cup/brelt/operations/program.h"

#include "common/logger.h"

namespace {
constexpr size_t PROGRAM_FIELD = 256;
std::string orAll(const std::string& program) { return program.empty() ? "all" : program; }
} // namespace

ProgramOperation::ProgramOperation(Brelt* unit, const std::string& program_, uint8_t action_, const char* doing,
                                   const char* done_, const std::string& shownName_)
    : Operation(unit), program(program_), action(action_), doneWord(done_), shownName(shownName_)
{
    progressText = std::string(doing) + " " + shownName;
}

int ProgramOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : %s\n", unitId(), progressText.c_str());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_PRC;
    frame.payload[0] = action;
    putText(frame.payload + 1, PROGRAM_FIELD, program);
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + 1 + PROGRAM_FIELD);
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &ProgramOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ProgramOperation::onError));
    return sendRequest(frame);
}

void ProgramOperation::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : %s was %s\n", unitId(), orAll(program).c_str(), doneWord.c_str());
    finish();
}

void ProgramOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : %s was NOT %s\n", unitId(), orAll(program).c_str(), doneWord.c_str());
    fail(true);
}

StartOperation::StartOperation(Brelt* unit, const std::string& program)
    : ProgramOperation(unit, program, 1, "starting", "started", program)
{
    name = "start";
}

StopOperation::StopOperation(Brelt* unit, const std::string& program)
    : ProgramOperation(unit, program, 2, "stopping", "stopped", orAll(program))
{
    name = "stop";
    timeoutMs = 8000;
}

RestartOperation::RestartOperation(Brelt* unit, const std::string& program)
    : ProgramOperation(unit, program, program.empty() ? 0x10 : 0x11, "restarting", "restarted", orAll(program))
{
    name = "restart";
    timeoutMs = 5000;
}

ReloadConfigOperation::ReloadConfigOperation(Brelt* unit) : Operation(unit)
{
    name = "reload configuration";
    progressText = "reloading configuration";
}

int ReloadConfigOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : reload configuration\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_RLD;
    frame.header.pl = FRAME_HEADER_SIZE;
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &ReloadConfigOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ReloadConfigOperation::onError));
    return sendRequest(frame);
}

void ReloadConfigOperation::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : configuration reloaded\n", unitId());
    finish();
}

void ReloadConfigOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : configuration NOT reloaded\n", unitId());
    fail(false);
}
