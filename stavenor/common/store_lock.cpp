#include "common/store_lock.h"

std::unique_lock<std::mutex> lock_store()
{
    static std::mutex store_mutex;
    return std::unique_lock(store_mutex);
}
