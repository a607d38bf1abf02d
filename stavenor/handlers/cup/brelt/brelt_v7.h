// A unit of protocol version 7: the version-6 parser with unbricking, the password file and the
// memory test.
#pragma once

#include "handlers/cup/brelt/brelt_v6.h"

class BreltV7 : public BreltV6 {
public:
    BreltV7(const std::string& unitId, int initialStatus);
    bool isSupported(const std::string& line) override;
    int queueCommand(const std::string& line) override;
};
