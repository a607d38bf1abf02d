// The Content-Disposition of a download: the file name that the browser saves under.
#pragma once

#include <string>

// `attachment; filename="<name>"`, the name reduced to a plain file name: no directory, no quote,
// backslash or control character; "download" when nothing of it is left.
std::string attachment_disposition(const std::string& name);
