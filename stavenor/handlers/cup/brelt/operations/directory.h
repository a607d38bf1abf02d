// A directory on a unit: list it, remove it, empty it. One DIR request each.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

// The request and answers the three share; each class gives its action and outcomes.
class DirectoryOperation : public Operation {
public:
    int run() override;

protected:
    DirectoryOperation(Brelt* unit, const std::string& dirPath, uint8_t action);
    virtual void onSuccess(const FrameHeader* answer) = 0;
    void onError(const FrameHeader* answer);

    std::string dirPath;
    uint8_t action;
    uint16_t listOption = 0;
    uint8_t successType = MSG_SUC;
};

class LsDir : public DirectoryOperation {
public:
    LsDir(Brelt* unit, const std::string& dirPath);
    int setListOption(uint16_t value);
    int run() override;

protected:
    void onSuccess(const FrameHeader* answer) override;
};

class RmDir : public DirectoryOperation {
public:
    RmDir(Brelt* unit, const std::string& dirPath);
    int run() override;

protected:
    void onSuccess(const FrameHeader* answer) override;
};

class RmDirContent : public DirectoryOperation {
public:
    RmDirContent(Brelt* unit, const std::string& dirPath);

protected:
    void onSuccess(const FrameHeader* answer) override;
};
