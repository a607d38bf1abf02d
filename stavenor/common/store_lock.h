// One lock for the configuration store (database, name maps, icon store): held for a whole
// tuna command, import, export or icon operation, so that they never interleave.
#pragma once

#include <mutex>

[[nodiscard]] std::unique_lock<std::mutex> lock_store();
