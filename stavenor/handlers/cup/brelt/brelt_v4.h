// A unit of protocol version 4 or 5: its command parser and its interactive mode, in which the PC
// keeps control of the unit across several commands. Versions 6 and 7 build on it.
#pragma once

#include "handlers/cup/brelt/brelt.h"
#include "handlers/cup/brelt/command_line.h"

#include <optional>

class BreltV4 : public Brelt {
public:
    BreltV4(const std::string& unitId, int initialStatus);
    bool isSupported(const std::string& line) override;
    int queueCommand(const std::string& line) override;
    void onProgramDone() override;
    void isInteractive() override;

    int enterInteractive();
    int leaveInteractive();

protected:
    // The commands every version from 4 on shares; none when the line is none of them.
    std::optional<int> queueShared(const Tokens& t, const std::string& line);
    // Uploads a local file to "/tmp"; gives the file's name on the unit.
    // `role` names the file to the person who must provide it (see SendFileOperation::setFileRole).
    std::string appendUpload(const std::string& localPath, const std::string& role = "");
    void appendTake();
    void appendRelease();
    void appendAnnouncementsUpdate(bool packAll);
    void appendGetFile(const std::string& remotePath);
    void appendSendConfiguration(const Tokens& t, bool reloadAfterRole);
    // Replaces the firmware "dis" by the uploaded file `fileName` in "/tmp".
    void appendFirmwareSwap(const std::string& fileName, bool stopFirst);

private:
    // None when the line is no module command; -10 for a module name that is no directory of
    // "/modules" (the job would remove another directory).
    std::optional<int> queueModuleCommand(const Tokens& t);
};
