// Packing the local announcement recordings into a gzip-compressed ustar archive in memory, for
// the upload that follows.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

class PackAnnouncements : public Operation {
public:
    explicit PackAnnouncements(Brelt* unit);
    int run() override;
    int setPackAll(bool value);

private:
    bool packAll = false;
};

// Largest archive a unit takes.
constexpr size_t ANNOUNCEMENT_PACKAGE_SIZE = 0x1000000;
