#include "include/status_reply.h"

#include <jansson.h>

#include <cstdlib>

void status_reply(http_request& request, bool success, const std::string& description)
{
    const char* status = success ? "success" : "error";
    json_t* reply = json_object();
    json_object_set_new(reply, "status", json_string(status));
    json_object_set_new(reply, "description", json_stringn(description.data(), description.size()));
    char* text = json_dumps(reply, JSON_PRESERVE_ORDER);
    json_decref(reply);
    request.status = 200;
    request.data = text ? text : "";
    request.content_type = "application/json; charset=utf-8";
    free(text);
}
