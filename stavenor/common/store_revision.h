// The configuration store's revision: raised by every change of what the store holds or counts, so
// that every window of the pages learns cheaply (a header of every answer) that it must read again.
#pragma once

#include <cstdint>

uint64_t store_revision();
// Raises the revision by one and returns the new one; only the store calls it, under lock_store().
uint64_t raise_store_revision();
