#include "handlers/cup/brelt/operations/roles.h"

#include "common/logger.h"
#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/protocol.h"

#include <cstring>

namespace {
constexpr size_t ROLE_MAX = 63;
constexpr size_t DESCRIPTION_FIELD = 128;
} // namespace

RoleSetOperation::RoleSetOperation(Brelt* unit, const std::string& role_)
    : Operation(unit), role(role_.substr(0, ROLE_MAX))
{
    name = "set role";
    progressText = "changing role";
    weight = 10;
}

int RoleSetOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : changing role to `%s`\n", unitId(), role.c_str());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_ROL;
    frame.payload[0] = 1;
    frame.payload[1] = 1;
    memcpy(frame.payload + 2, role.data(), role.size());
    frame.header.pl = static_cast<uint16_t>(FRAME_HEADER_SIZE + 3 + role.size());
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &RoleSetOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &RoleSetOperation::onError));
    return sendRequest(frame);
}

void RoleSetOperation::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : role changed to `%s`\n", unitId(), role.c_str());
    finish();
}

void RoleSetOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    fail(false);
}

RoleListOperation::RoleListOperation(Brelt* unit) : Operation(unit)
{
    name = "list roles";
    progressText = "acquiring roles";
    weight = 10;
}

int RoleListOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : get role list\n", unitId());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_ROL;
    frame.payload[0] = 2;
    frame.header.pl = FRAME_HEADER_SIZE + 3;
    hookAnswer(MSG_ROL, sigc::mem_fun(*this, &RoleListOperation::onList));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &RoleListOperation::onError));
    return sendRequest(frame);
}

void RoleListOperation::onList(const FrameHeader* answer)
{
    if (answer->pl <= FRAME_HEADER_SIZE || answer->payload()[0] != 3) return;
    const std::string text = answerText(answer, 2);
    LOG(LOG_BRELT, "brelt %s : role list:\n", unitId());
    LOG(LOG_BRELT, "\t %s\n", text.c_str());
    unit->setSetting("roles", text);
    finish();
}

void RoleListOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    fail(true);
}

SetDescriptionOperation::SetDescriptionOperation(Brelt* unit, const std::string& description_)
    : Operation(unit), description(description_)
{
    name = "set description";
    progressText = "describing";
    weight = 10;
}

int SetDescriptionOperation::run()
{
    LOG(LOG_BRELT, "brelt %s : changing description to `%s`\n", unitId(), description.c_str());
    setProgress(0, progressText);
    FrameBuffer frame;
    frame.header.t = MSG_HWR;
    putText(frame.payload, DESCRIPTION_FIELD, description);
    frame.header.pl = FRAME_HEADER_SIZE + DESCRIPTION_FIELD;
    hookAnswer(MSG_SUC, sigc::mem_fun(*this, &SetDescriptionOperation::onSuccess));
    hookAnswer(MSG_ERR, sigc::mem_fun(*this, &SetDescriptionOperation::onError));
    return sendRequest(frame);
}

void SetDescriptionOperation::onSuccess(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : description changed to `%s`\n", unitId(), description.c_str());
    finish();
}

void SetDescriptionOperation::onError(const FrameHeader*)
{
    LOG(LOG_BRELT, "brelt %s : error\n", unitId());
    fail(true);
}
