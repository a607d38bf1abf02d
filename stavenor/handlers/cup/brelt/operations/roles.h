// A unit's cub role and description: set the role, list the roles offered, set the description.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

class RoleSetOperation : public Operation {
public:
    RoleSetOperation(Brelt* unit, const std::string& role);
    int run() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string role;
};

class RoleListOperation : public Operation {
public:
    explicit RoleListOperation(Brelt* unit);
    int run() override;

private:
    void onList(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};

class SetDescriptionOperation : public Operation {
public:
    SetDescriptionOperation(Brelt* unit, const std::string& description);
    int run() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string description;
};
