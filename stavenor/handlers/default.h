// The document root: every URL that no named handler claims is a file below "docroot".
#pragma once

#include "include/daemon.h"

#include <string>

void init_default();
void default_handler(http_request& request);
void cleanup_default();
// The server's answer to a path that names nothing: 404 with the text "none".
void not_found(http_request& request);

// "2014-04a (<build date> <build time>)", served at "/stavenorVersion".
const std::string& version_text();
// The content type for a path, by the text from the last '.' of its file name; empty without one.
std::string content_type_for(const std::string& path);
