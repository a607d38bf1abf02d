#include "handlers/cup/brelt/operations/modules.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <cstring>

namespace {

constexpr size_t MODULE_NAME_MAX = 127;

// The three-byte request of the module and language queries: a sub-code and two zeros.
FrameBuffer query(uint8_t type, uint8_t code)
{
    FrameBuffer frame;
    frame.header.t = type;
    frame.payload[0] = code;
    frame.header.pl = FRAME_HEADER_SIZE + 3;
    return frame;
}

bool hasCode(const FrameHeader* answer, uint8_t code)
{
    return answer->pl > FRAME_HEADER_SIZE && answer->payload()[0] == code;
}

} // namespace

ModListOperation::ModListOperation(Brelt* unit) : Operation(unit)
{
    name = "list modules";
    progressText = "listing modules";
    weight = 10;
}

int ModListOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : get module list\n", unitId());
    setProgress(0, progressText);
    hookAnswer(MSG_MOD, sigc::mem_fun(*this, &ModListOperation::onList));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ModListOperation::onError));
    return sendRequest(query(MSG_MOD, 1));
}

void ModListOperation::onList(const FrameHeader* answer)
{
    if (!hasCode(answer, 2)) return;
    const std::string text = answerText(answer, 2);
    LOG(LOG_BRELT, "brelt %s : module list complete\n", unitId());
    LOG(LOG_BRELT, "           %s\n", text.c_str());
    unit->clearModules();
    size_t start = 0;
    while (start < text.size()) {
        size_t bar = text.find('|', start);
        if (bar == std::string::npos) bar = text.size();
        const std::string piece = text.substr(start, bar - start);
        start = bar + 1;
        if (piece.empty()) continue;
        UnitModule module;
        const size_t slash = piece.find('/');
        module.name = piece.substr(0, slash);
        module.displayName = slash == std::string::npos ? "" : piece.substr(slash + 1);
        module.removable = module.name != "rundis";
        module.configurable = !(module.name == "asterisk" && unit->getProtocolVersion() <= 5);
        auto info = new ModInfoOperation(unit, module.name);
        info->setThreadId(threadId);
        unit->appendOperation(info);
        unit->addModule(module);
    }
    finish();
}

void ModListOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : module list ERROR\n", unitId());
    fail(false);
}

ModInfoOperation::ModInfoOperation(Brelt* unit, const std::string& module_)
    : Operation(unit), module(module_.substr(0, MODULE_NAME_MAX))
{
    name = "module info";
    progressText = "getting module info";
    weight = 10;
}

int ModInfoOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : get module info\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame = query(MSG_MOD, 3);
    memcpy(frame.payload + 2, module.data(), module.size());
    // The name, its zero and one zero more: the length the units expect.
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + 4 + module.size());
    hookAnswer(MSG_MOD, sigc::mem_fun(*this, &ModInfoOperation::onInfo));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ModInfoOperation::onError));
    return sendRequest(frame);
}

void ModInfoOperation::onInfo(const FrameHeader* answer)
{
    if (!hasCode(answer, 4)) return;
    const std::string text = answerText(answer, 2);
    LOG(LOG_BRELT, "brelt %s : got module info\n", unitId());
    LOG(LOG_BRELT, "           %s\n", text.c_str());
    if (UnitModule* entry = unit->findModule(module)) {
        entry->description = text.substr(0, text.find('\n'));
        const size_t version = text.find("version: ");
        if (version != std::string::npos) entry->version = text.substr(version + 9);
    }
    finish();
}

void ModInfoOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : module info ERROR\n", unitId());
    fail(false);
}

ModRescanOperation::ModRescanOperation(Brelt* unit) : Operation(unit)
{
    name = "rescan modules";
    progressText = "rescanning modules";
    weight = 10;
}

int ModRescanOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : start module rescan\n", unitId());
    setProgress(0, progressText);
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &ModRescanOperation::onDone));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &ModRescanOperation::onError));
    return sendRequest(query(MSG_MOD, 5));
}

void ModRescanOperation::onDone(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : modules rescan complete\n", unitId());
    finish();
}

void ModRescanOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : modules rescan ERROR\n", unitId());
    fail(false);
}

LsLang::LsLang(Brelt* unit) : Operation(unit)
{
    name = "list languages";
    progressText = "acquiring languages";
    weight = 10;
}

int LsLang::run()
{
    LOG(LOG_BRELT, "brelt %s : get language list\n", unitId());
    setProgress(0, progressText);
    unit->eraseSetting("available languages");
    hookAnswer(MSG_LANGUAGES, sigc::mem_fun(*this, &LsLang::onList));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &LsLang::onError));
    return sendRequest(query(MSG_LANGUAGES, 1));
}

void LsLang::onList(const FrameHeader* answer)
{
    if (!hasCode(answer, 2)) return;
    const std::string text = answerText(answer, 2);
    LOG(LOG_BRELT, "brelt %s : language list:\n", unitId());
    LOG(LOG_BRELT, "\t %s\n", text.c_str());
    unit->setSetting("available languages", text);
    finish();
}

void LsLang::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    fail(false);
}
