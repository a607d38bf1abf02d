// Starting, stopping and restarting a program on a unit (empty name: all programs).
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

// The request and answers the three share; each class gives its action and words.
class ProgramOperation : public Operation {
public:
    int run() override;

protected:
    ProgramOperation(Brelt* unit, const std::string& program, uint8_t action, const char* doing, const char* done,
                     const std::string& shownName);

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);

    std::string program;
    uint8_t action;
    std::string doneWord;
    std::string shownName;
};

class StartOperation : public ProgramOperation {
public:
    StartOperation(Brelt* unit, const std::string& program);
};

class StopOperation : public ProgramOperation {
public:
    StopOperation(Brelt* unit, const std::string& program);
};

class RestartOperation : public ProgramOperation {
public:
    RestartOperation(Brelt* unit, const std::string& program);
};

class ReloadConfigOperation : public Operation {
public:
    explicit ReloadConfigOperation(Brelt* unit);
    int run() override;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
};
