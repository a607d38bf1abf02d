// The Content-Disposition of a download: the file name that the browser saves under.
#pragma once

#include <string>

// `attachment; filename="<name>"`, the name made a plain file name: "/" and "\" become "-", quotes and
// control characters go; "download" when nothing of it is left. A name beyond ASCII has "_" for each
// other character there and is carried whole beside it as `filename*=UTF-8''<percent-encoded>`.
std::string attachment_disposition(const std::string& name);
