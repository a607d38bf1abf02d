#include "include/handlers.h"

#include "common/logger.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace {

// Filled during start-up and emptied at stop. The daemon already listens while the named
// handlers are registered, so lookups and changes still take the lock.
std::array<std::unique_ptr<http_handler>, kHandlerSlots> slots;
std::shared_mutex slots_mutex;

const http_handler* find_locked(const char* name)
{
    for (const auto& slot : slots) {
        if (!slot) continue;
        if (name ? slot->name == name : !slot->name) return slot.get();
    }
    return nullptr;
}

request_callback callback_of(const char* name)
{
    std::shared_lock lock(slots_mutex);
    const http_handler* handler = find_locked(name);
    return handler ? handler->callback : nullptr;
}

const char* shown(const char* name) { return name ? name : "(null)"; }

// Called with the lock released: a cleanup callback may log or touch the registry's users.
void remove_handler(std::unique_ptr<http_handler> handler)
{
    if (handler->cleanup) handler->cleanup();
}

} // namespace

void init_handlers()
{
    std::unique_lock lock(slots_mutex);
    for (auto& slot : slots) slot.reset();
}

int register_handler(const char* name, request_callback callback, init_callback init, cleanup_callback cleanup)
{
    {
        std::unique_lock lock(slots_mutex);
        if (find_locked(name)) {
            LOG(LOG_HTTP, "handler [%s] already exists - not registered", shown(name));
            return 0;
        }
        auto free_slot = std::find_if(slots.begin(), slots.end(), [](const auto& slot) { return !slot; });
        if (free_slot == slots.end()) {
            LOG(LOG_HTTP, "handler [%s] not registered - too many existing handlers", shown(name));
            return 0;
        }
        auto& slot = *free_slot;
        slot = std::make_unique<http_handler>();
        if (name) slot->name = name;
        slot->callback = callback;
        slot->init = init;
        slot->cleanup = cleanup;
        LOG(LOG_HTTP, "handler [%s] registered - callback [%p]", shown(name), reinterpret_cast<void*>(callback));
    }
    if (init) init();
    return 1;
}

const http_handler* find_handler(const char* name)
{
    std::shared_lock lock(slots_mutex);
    return find_locked(name);
}

void handle_request(http_request& request)
{
    const std::string& url = request.url;
    // The segment counts only when a '/' follows it: "/tuna/list" names "tuna", "/tuna" names nothing.
    if (url.size() > 1) {
        size_t end = url.find('/', 1);
        if (end != std::string::npos && end > 1) {
            std::string segment = url.substr(1, end - 1);
            if (request_callback callback = callback_of(segment.c_str())) {
                callback(request);
                return;
            }
        }
    }
    if (request_callback fallback = callback_of(nullptr)) {
        fallback(request);
        return;
    }
    request.status = -1;
    request.data.clear();
}

int unregister_handler(const char* name)
{
    std::unique_ptr<http_handler> removed;
    {
        std::unique_lock lock(slots_mutex);
        for (auto& slot : slots)
            if (slot && name && slot->name == name) {
                removed = std::move(slot);
                break;
            }
    }
    if (!removed) {
        LOG(LOG_HTTP, "handler [%s] not unregistered - not found", shown(name));
        return 0;
    }
    remove_handler(std::move(removed));
    LOG(LOG_HTTP, "handler [%s] unregistered", name);
    return 1;
}

void cleanup_handlers()
{
    for (auto& slot : slots) {
        std::unique_ptr<http_handler> removed;
        {
            std::unique_lock lock(slots_mutex);
            removed = std::move(slot);
        }
        if (removed) remove_handler(std::move(removed));
    }
}

void rundis_handler(http_request& request)
{
    request.status = 200;
    request.data = "<html><head><title>Rundis handler</title></head><body>rundis</body></html>";
    request.content_type = "text/html; charset=utf-8";
    for (int i = 0; i < param_count(*request.params); ++i) {
        const std::string* value = param_value_at(*request.params, i);
        printf("param: %s->%s\n", param_name_at(*request.params, i)->c_str(), value ? value->c_str() : "(null)");
    }
    fflush(stdout);
}
