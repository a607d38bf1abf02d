// A unit's operating state: lock (silent mode), unlock, unbrick with a key, and flashing.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

// How long a flash may take before the job gives up on the unit's answer.
constexpr int FLASH_TIMEOUT_MS = 10 * 60 * 1000;

class SetSilentOperation : public Operation {
public:
    SetSilentOperation(Brelt* unit, const std::string& password);
    int run() override;
    void succeed() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string password;
};

class SetVerboseOperation : public Operation {
public:
    SetVerboseOperation(Brelt* unit, const std::string& password);
    int run() override;

private:
    std::string password;
};

class UnbrickOperation : public Operation {
public:
    UnbrickOperation(Brelt* unit, const std::string& key);
    int run() override;
    void succeed() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string key;
};

class FlashOperation : public Operation {
public:
    explicit FlashOperation(Brelt* unit, int timeout = FLASH_TIMEOUT_MS);
    int run() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};
