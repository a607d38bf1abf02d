#include "include/daemon.h"

#include "common/logger.h"
#include "common/paths.h"
#include "common/store_revision.h"
#include "handlers/default.h"
#include "include/configuration.h"
#include "include/handlers.h"
#include "include/request_guard.h"
#include "include/status_reply.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <strings.h>

// Made once a run: a page that sees another token knows that the server restarted and that what
// it held before (unsaved configuration changes) is gone.
const char* start_token()
{
    static const std::string token = [] {
        std::random_device random;
        char text[24];
        snprintf(text, sizeof text, "%08x%08x", random(), random());
        return std::string(text);
    }();
    return token.c_str();
}

namespace {

MHD_Daemon* daemon_handle = nullptr;
uint16_t own_port = 0;

// Closed until start-up has registered every handler; a request that arrives earlier waits.
// Once open it stays open, so later requests pass without the lock.
std::mutex gate_mutex;
std::condition_variable gate_opened;
std::atomic<bool> gate_open = false;
constexpr auto kStartUpWait = std::chrono::seconds(60);

bool wait_for_gate()
{
    if (gate_open.load(std::memory_order_acquire)) return true;
    std::unique_lock lock(gate_mutex);
    return gate_opened.wait_for(lock, kStartUpWait, [] { return gate_open.load(); });
}

// A client that sends nothing for this long loses its connection and its thread.
constexpr unsigned kConnectionTimeoutSeconds = 30;
// Plain form fields are held in memory; files go to disk as they arrive.
constexpr size_t kMaxFieldBytes = 8 * 1024 * 1024;
constexpr size_t kPostBuffer = 16384;

const char kServerErrorPage[] =
    "<html><head><title>Internal server error</title></head><body>Internal server error</body></html>";

// Every HTML answer, a page or an error page: no inline script or style, nothing from elsewhere, so
// nothing that a page shows can run as code.
const char kPagePolicy[] = "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; "
                           "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; "
                           "frame-ancestors 'self'";

bool is_html(const std::optional<std::string>& type)
{
    return type && strncasecmp(type->c_str(), "text/html", 9) == 0;
}

// One uploaded file while it arrives: written to a private temporary file, renamed to its
// final name in the temporary directory only once the whole request has been received, so
// that no reader ever sees half a file and two uploads never write into one file.
struct upload {
    request_param* item;
    std::string temp_path;
    int fd = -1;
};

struct connection_context {
    param_list params;
    MHD_PostProcessor* post_processor = nullptr;
    request_method method = METHOD_OTHER;
    std::vector<upload> uploads;
    size_t field_bytes = 0;
    std::string error; // why the request cannot be handled, when set
    int error_status = 0;

    ~connection_context()
    {
        if (post_processor) MHD_destroy_post_processor(post_processor);
        for (auto& u : uploads) {
            if (u.fd >= 0) close(u.fd);
            if (!u.temp_path.empty()) unlink(u.temp_path.c_str());
        }
    }

    void fail(int status, std::string why)
    {
        if (error.empty()) {
            error = std::move(why);
            error_status = status;
            LOG(LOG_ERROR, "http daemon handler - %s", error.c_str());
        }
    }

    upload* upload_of(const request_param* item)
    {
        for (auto& u : uploads)
            if (u.item == item) return &u;
        return nullptr;
    }
};

const char* method_name(request_method m) { return m == METHOD_POST ? "POST" : "GET"; }

// Percent-decoding of the path and the arguments. A decoded NUL would silently cut the text
// short, so it becomes a control character instead, which every path check refuses.
size_t unescape(void*, MHD_Connection*, char* text)
{
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (in[0] == '%' && isxdigit(static_cast<unsigned char>(in[1])) && isxdigit(static_cast<unsigned char>(in[2]))) {
            char hex[3] = {in[1], in[2], 0};
            char decoded = static_cast<char>(strtol(hex, nullptr, 16));
            *out++ = decoded == 0 ? '\x01' : decoded;
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = 0;
    return static_cast<size_t>(out - text);
}

MHD_Result http_accept_policy(void*, const sockaddr* addr, socklen_t)
{
    if (log_enabled(LOG_HTTP)) {
        char text[INET_ADDRSTRLEN] = "?";
        if (addr->sa_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof text);
        LOG(LOG_HTTP, "http daemon handler - incoming connectrion from %s - ACCEPTED", text);
    }
    return MHD_YES;
}

MHD_Result http_header_iterator(void*, MHD_ValueKind, const char* key, const char* value)
{
    LOG(LOG_HTTP, "http header param: %s -> %s", key, value ? value : "");
    return MHD_YES;
}

MHD_Result http_get_iterator(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* list = static_cast<param_list*>(cls);
    LOG(LOG_HTTP, "http GET param: %s -> %s", key, value ? value : "(null)");
    if (strcasecmp(key, "nocache") == 0) return MHD_YES;
    add_param(*list, key, value ? std::optional<std::string>(value) : std::nullopt, PARAM_GET);
    return MHD_YES;
}

// A new file field: its name is reduced to a safe base name, its bytes go to a private file.
void start_upload(connection_context& ctx, const char* key, const char* filename, const char* content_type,
                  size_t size)
{
    request_param* item = add_param(ctx.params, key, std::nullopt, PARAM_POST);
    if (!item) return;
    if (content_type) item->content_type = content_type;
    auto name = safe_base_name(filename);
    if (!name) {
        ctx.fail(400, std::string("upload file name refused: ") + filename);
        return;
    }
    std::string dir = temporary_directory();
    std::string path = dir + *name;
    // Two file fields of one request never share a stored name.
    auto taken = [&ctx](const std::string& candidate) {
        return std::any_of(ctx.uploads.begin(), ctx.uploads.end(),
                           [&](const upload& u) { return u.item->upload_path == candidate; });
    };
    for (int n = 2; taken(path); ++n) path = dir + std::to_string(n) + "-" + *name;
    item->upload_path = path;

    upload u;
    u.item = item;
    std::string temp = dir + ".upload-XXXXXX";
    u.fd = mkostemp(temp.data(), O_CLOEXEC);
    if (u.fd < 0) {
        ctx.fail(500, "upload of " + *name + " could not be stored: " + strerror(errno));
        return;
    }
    u.temp_path = temp;
    LOG(LOG_HTTP,
        "http daemon handler - [POST] parameter handler has new parameter: %s [FILE] - saving to %s and start "
        "collecting chunks (%zu bytes)",
        key, path.c_str(), size);
    ctx.uploads.push_back(std::move(u));
}

MHD_Result http_post_iterator(void* cls, MHD_ValueKind, const char* key, const char* filename,
                              const char* content_type, const char*, const char* data, uint64_t off, size_t size)
{
    auto& ctx = *static_cast<connection_context*>(cls);
    LOG(LOG_HTTP, "hello");
    if (!key || !*key) return MHD_YES;

    request_param* item = nullptr;
    // Chunks of one field arrive with growing offsets; a field that starts again at offset 0
    // after bytes were received is a second field of the same name and gets an item of its own.
    for (auto it = ctx.params.items.rbegin(); it != ctx.params.items.rend(); ++it)
        if ((*it)->name == key) {
            item = it->get();
            break;
        }
    if (item && off == 0 && item->size > 0) item = nullptr;

    if (filename) {
        const bool later = item != nullptr;
        if (!later) {
            start_upload(ctx, key, filename, content_type, size);
            item = ctx.params.items.empty() ? nullptr : ctx.params.items.back().get();
        }
        upload* u = item ? ctx.upload_of(item) : nullptr;
        if (!u || u->fd < 0 || size == 0) return MHD_YES;
        if (later)
            LOG(LOG_HTTP,
                "http daemon handler - [POST] parameter handler has existing parameter: %s [FILE] - saving to %s and "
                "continue collecting chunks (%zu bytes)",
                key, item->upload_path->c_str(), size);
        item->size += static_cast<int64_t>(size);
        for (size_t done = 0; done < size;) {
            ssize_t n = write(u->fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ctx.fail(500, "upload of " + *item->upload_path + " could not be written: " + strerror(errno));
                close(u->fd);
                u->fd = -1;
                return MHD_YES;
            }
            done += static_cast<size_t>(n);
        }
        return MHD_YES;
    }

    if (!item) {
        item = add_param(ctx.params, key, std::nullopt, PARAM_POST);
        LOG(LOG_HTTP, "http daemon handler - [POST] parameter handler has new parameter: %s (%zu bytes)", key, size);
    } else {
        LOG(LOG_HTTP, "http daemon handler - [POST] parameter handler has existing parameter: %s (%zu bytes)", key,
            size);
    }
    if (size == 0) return MHD_YES;
    ctx.field_bytes += size;
    if (ctx.field_bytes > kMaxFieldBytes) {
        ctx.fail(413, "form fields larger than the limit");
        return MHD_YES;
    }
    std::string& value = item->value ? *item->value : item->value.emplace();
    if (value.size() < off + size) value.resize(off + size);
    value.replace(off, size, data, size);
    item->size += static_cast<int64_t>(size);
    return MHD_YES;
}

// Moves every complete upload to its final name. An empty upload leaves no file behind.
void finish_uploads(connection_context& ctx)
{
    for (auto& u : ctx.uploads) {
        if (u.fd < 0) continue;
        bool written = close(u.fd) == 0;
        u.fd = -1;
        const std::string& path = *u.item->upload_path;
        if (access(path.c_str(), F_OK) == 0) {
            unlink(path.c_str());
            LOG(LOG_HTTP, "http daemon handler - old file %s deleted from tmp dir", path.c_str());
        }
        if (u.item->size == 0) {
            // Gone before the answer leaves, not only when the connection is done.
            unlink(u.temp_path.c_str());
            u.temp_path.clear();
            continue;
        }
        if (!written || rename(u.temp_path.c_str(), path.c_str()) != 0) {
            ctx.fail(500, "upload could not be stored as " + path + ": " + strerror(errno));
            continue;
        }
        u.temp_path.clear();
    }
}

MHD_Result queue(MHD_Connection* connection, http_request& request)
{
    MHD_Response* response;
    if (request.body_fd >= 0) {
        response = MHD_create_response_from_fd64(request.body_fd_size, request.body_fd);
        request.body_fd = -1;
    } else {
        response = MHD_create_response_from_buffer(request.data.size(), request.data.data(), MHD_RESPMEM_MUST_COPY);
    }
    if (!response) return MHD_NO;
    if (request.content_type) MHD_add_response_header(response, "Content-Type", request.content_type->c_str());
    if (request.content_disposition)
        MHD_add_response_header(response, "Content-Disposition", request.content_disposition->c_str());
    if (request.content_transfer_encoding)
        MHD_add_response_header(response, "Content-Transfer-Encoding", request.content_transfer_encoding->c_str());
    // No answer is read as another type than the one it names.
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    if (is_html(request.content_type)) MHD_add_response_header(response, "Content-Security-Policy", kPagePolicy);
    MHD_add_response_header(response, "X-Server-Start", start_token());
    MHD_add_response_header(response, "X-Store-Revision", std::to_string(store_revision()).c_str());
    MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(request.status), response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result dispatch(MHD_Connection* connection, const char* url, connection_context& ctx)
{
    http_request request;
    request.url = url;
    request.params = &ctx.params;
    if (const char* window = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Window")) request.window = window;

    if (ctx.method == METHOD_POST) finish_uploads(ctx);
    if (ctx.error.empty() && !wait_for_gate()) ctx.fail(503, "the server is still starting");
    if (!ctx.error.empty()) {
        // The request was refused or arrived incomplete: say so instead of handing it to a handler.
        status_reply(request, false, ctx.error);
        request.status = ctx.error_status;
        return queue(connection, request);
    }

    LOG(LOG_HTTP, "http daemon handler - start handling request for url %s", url);
    handle_request(request);

    if (request.status > 0) {
        LOG(LOG_REQUEST, "http daemon handler - connection handler returned [%d]; size is [%llu] bytes - mime is %s",
            request.status,
            static_cast<unsigned long long>(request.body_fd >= 0 ? request.body_fd_size : request.data.size()),
            request.content_type ? request.content_type->c_str() : "(null)");
        return queue(connection, request);
    }
    if (request.body_fd >= 0) close(request.body_fd);
    LOG(LOG_REQUEST, "http daemon handler - server error (error handling request)");
    http_request error;
    error.status = MHD_HTTP_INTERNAL_SERVER_ERROR;
    error.data = kServerErrorPage;
    error.content_type = "text/html; charset=utf-8";
    return queue(connection, error);
}

MHD_Result http_access_handler(void*, MHD_Connection* connection, const char* url, const char* method,
                               const char* version, const char* upload_data, size_t* upload_data_size, void** con_cls)
{
    if (log_enabled(LOG_REQUEST)) {
        const char* agent = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "User-Agent");
        LOG(LOG_REQUEST, "http daemon handler - url is %s [%s] [%s] [%zu], client agent is %s", url, method, version,
            *upload_data_size, agent ? agent : "(null)");
    }
    if (log_enabled(LOG_HTTP)) MHD_get_connection_values(connection, MHD_HEADER_KIND, http_header_iterator, nullptr);

    auto* ctx = static_cast<connection_context*>(*con_cls);
    if (!ctx) {
        ctx = new (std::nothrow) connection_context;
        if (!ctx) return MHD_NO;
        auto header = [connection](const char* name) {
            return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
        };
        auto refusal = request_refusal(
            {header("Host"), header("Origin"), header("Sec-Fetch-Site"), header("Referer")}, own_port);
        // A refused request is answered 403 once it has arrived; its body goes to no processor,
        // so it leaves no upload behind.
        if (refusal) ctx->fail(MHD_HTTP_FORBIDDEN, *refusal);
        if (strcmp(method, "POST") == 0) {
            LOG(LOG_HTTP, "http daemon handler - start new connection [POST]");
            ctx->method = METHOD_POST;
            // Only form bodies get a processor; any other body is dropped.
            if (!refusal)
                ctx->post_processor = MHD_create_post_processor(connection, kPostBuffer, http_post_iterator, ctx);
        } else if (strcmp(method, "GET") == 0) {
            LOG(LOG_HTTP, "http daemon handler - start new connection [GET]");
            ctx->method = METHOD_GET;
        }
        *con_cls = ctx;
        return MHD_YES;
    }

    switch (ctx->method) {
    case METHOD_POST:
        if (*upload_data_size != 0) {
            LOG(LOG_HTTP, "http daemon handler - [POST] connection iteration (collecting data)");
            if (ctx->post_processor) MHD_post_process(ctx->post_processor, upload_data, *upload_data_size);
            *upload_data_size = 0;
            return MHD_YES;
        }
        LOG(LOG_HTTP, "http daemon handler - [POST] connection finished");
        break;
    case METHOD_GET:
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, http_get_iterator, &ctx->params);
        LOG(LOG_HTTP, "http daemon handler - [GET] connection finished");
        break;
    default:
        return MHD_NO; // no response: the connection is closed
    }
    return dispatch(connection, url, *ctx);
}

void http_request_completed(void*, MHD_Connection*, void** con_cls, MHD_RequestTerminationCode code)
{
    static const char* const reasons[] = {"all ok", "error handling con", "timeout", "server shutdown"};
    const char* reason = code < 4 ? reasons[code] : "";
    auto* ctx = static_cast<connection_context*>(*con_cls);
    if (!ctx) return;
    LOG(LOG_HTTP, "http daemon handler - [%s] request completed [%s]", method_name(ctx->method), reason);
    delete ctx;
    *con_cls = nullptr;
}

} // namespace

int start_http_daemon(uint16_t port)
{
    if (daemon_handle) {
        LOG(LOG_STARTUP, "http daemon start failed - already running");
        return 0;
    }
    // The pages are for the local browser only.
    own_port = port;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    daemon_handle = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, port, http_accept_policy, nullptr,
        http_access_handler, nullptr, MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_CONNECTION_TIMEOUT,
        kConnectionTimeoutSeconds, MHD_OPTION_NOTIFY_COMPLETED, http_request_completed, nullptr,
        MHD_OPTION_UNESCAPE_CALLBACK, unescape, nullptr, MHD_OPTION_END);
    LOG(LOG_STARTUP, "http daemon started on port %d", port);
    if (register_handler(nullptr, default_handler, init_default, cleanup_default))
        LOG(LOG_STARTUP, "default (filesystem) connection handler added");
    return daemon_handle ? 1 : 0;
}

void open_http_daemon()
{
    std::lock_guard lock(gate_mutex);
    gate_open = true;
    gate_opened.notify_all();
}

void stop_http_daemon()
{
    if (!daemon_handle) {
        LOG(LOG_STARTUP, "http daemon stop failed - not running");
        return;
    }
    LOG(LOG_STARTUP, "http daemon stopped");
    MHD_stop_daemon(daemon_handle);
    daemon_handle = nullptr;
}

size_t utf8_to_latin1(char* out, const unsigned char* in, long length)
{
    size_t written = 0;
    for (long i = 0; i < length; ++i) {
        if (in[i] < 0x80 || i + 1 >= length) {
            out[written++] = static_cast<char>(in[i]);
        } else {
            out[written++] = static_cast<char>((in[i] << 6) | (in[i + 1] & 63));
            ++i;
        }
    }
    return written;
}
