// A unit's software modules and languages: the module list, one module's details, a rescan,
// and the languages the unit offers.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

struct UnitModule {
    std::string name;
    std::string displayName;
    std::string version = "unknown";
    std::string description;
    bool configurable = true;
    bool removable = true;
};

class ModListOperation : public Operation {
public:
    explicit ModListOperation(Brelt* unit);
    int run() override;

private:
    void onList(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};

class ModInfoOperation : public Operation {
public:
    ModInfoOperation(Brelt* unit, const std::string& module);
    int run() override;

private:
    void onInfo(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string module;
};

class ModRescanOperation : public Operation {
public:
    explicit ModRescanOperation(Brelt* unit);
    int run() override;

private:
    void onDone(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};

class LsLang : public Operation {
public:
    explicit LsLang(Brelt* unit);
    int run() override;

private:
    void onList(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};
