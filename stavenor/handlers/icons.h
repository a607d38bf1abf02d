// The "icons" handler: shows each button icon as a BMP, uploads a replacement for one, clears
// one, and hands out the icons as a zip archive.
#pragma once

#include "handlers/icon_drawings.h"
#include "include/daemon.h"

#include <optional>
#include <string>

void icons_handler(http_request& request);
void init_icons();
void cleanup_icons();

// The BMP bytes of one picture, or none when MagickWand fails.
std::optional<std::string> render_icon(const icon_pixels& pixels);
// "icons.zip" in memory: the first 190 icons of the packed store, "%03d_normal.bmp" for an even
// index and "%03d_disabled.bmp" for an odd one. The caller holds lock_store().
std::optional<std::string> build_icons_zip();
