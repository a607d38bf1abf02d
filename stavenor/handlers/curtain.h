// The "curtain" handler: the recovery page's requests, numbered and handed to the recovery
// dispatcher, with the small state machine behind the page's repeated "settings_ready".
#pragma once

#include "handlers/cup/ui/jason.h"
#include "include/daemon.h"

#include <sigc++/sigc++.h>

#include <string>

// The dispatcher's door: one slot, JasonState::request of the server's one dispatcher.
extern sigc::signal<std::string(JasonRequest*)> curtainSignal;

// The dispatcher that init_curtain connects; set by the server's start before registration.
void set_curtain_dispatcher(JasonState* dispatcher);

void curtain_handler(http_request& request);
void init_curtain();
void cleanup_curtain();
