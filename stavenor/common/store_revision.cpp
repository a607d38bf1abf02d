#include "common/store_revision.h"

#include <atomic>

namespace {
std::atomic<uint64_t> revision{0};
}

uint64_t store_revision() { return revision.load(); }

uint64_t raise_store_revision() { return ++revision; }
