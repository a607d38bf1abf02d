// One file or link on a unit: change its mode, link it, move it, remove it, remove a link's
// destination, unpack an archive. One FIL request each, answered SUC or ERR.
#pragma once

#include "handlers/cup/brelt/operations/file_payload.h"
#include "handlers/cup/brelt/operations/operation.h"

// What the six requests share; each class gives its action, fields and outcomes.
class FileRequestOperation : public Operation {
public:
    int run() override;
    void cleanup() override;

protected:
    enum ErrorOutcome { ERROR_FAILS, ERROR_DONE, ERROR_MARKED };

    explicit FileRequestOperation(Brelt* unit);
    // Fills the payload; false when a text does not fit its field.
    virtual bool fill(FilePayload& payload) = 0;
    virtual std::string startText() const = 0;

    const char* successText = "";
    bool errorWithCode = false;
    ErrorOutcome errorOutcome = ERROR_FAILS;
    bool fullProgressOnSuccess = true;
    bool ticking = false;

private:
    void onSuccess(const FrameHeader* answer);
    void onError(const FrameHeader* answer);
    bool onTick();

    sigc::connection tickConnection;
    int32_t ticks = 0;
};

class Chmod : public FileRequestOperation {
public:
    Chmod(Brelt* unit, const std::string& fileName, const std::string& fileDir, int mode);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string fileName, fileDir;
    int32_t mode;
};

class Link : public FileRequestOperation {
public:
    Link(Brelt* unit, const std::string& fileName, const std::string& fileDir, const std::string& linkName,
         const std::string& linkDir);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string fileName, fileDir, linkName, linkDir;
};

class MvFile : public FileRequestOperation {
public:
    MvFile(Brelt* unit, const std::string& fileName, const std::string& fileDir, const std::string& destName,
           const std::string& destDir);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string fileName, fileDir, destName, destDir;
};

class RmFile : public FileRequestOperation {
public:
    RmFile(Brelt* unit, const std::string& fileName, const std::string& fileDir);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string fileName, fileDir;
};

class RmLinkDestinationOperation : public FileRequestOperation {
public:
    RmLinkDestinationOperation(Brelt* unit, const std::string& linkName, const std::string& linkDir);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string linkName, linkDir;
};

class Untar : public FileRequestOperation {
public:
    Untar(Brelt* unit, const std::string& fileName, const std::string& fileDir);
    int setTarget(const std::string& value);
    int setExclusion(const std::string& value);

protected:
    bool fill(FilePayload& payload) override;
    std::string startText() const override;

private:
    std::string fileName, fileDir, target = "/tmp", exclusion;
};
