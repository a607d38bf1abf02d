// A unit of protocol version 6: the version-4 parser with roles, locking, unlocking and fetching
// any file; its report that it is locked completes a running lock.
#pragma once

#include "handlers/cup/brelt/brelt_v4.h"

class BreltV6 : public BreltV4 {
public:
    BreltV6(const std::string& unitId, int initialStatus);
    bool isSupported(const std::string& line) override;
    int queueCommand(const std::string& line) override;
    void isSilent() override;

protected:
    // Version 6's commands; none when the line is none of them.
    std::optional<int> queueVersion6(const Tokens& t, const std::string& line);
    // Whether `word` starts a line that version 6 takes.
    static bool isVersion6Word(const Tokens& t);
};
