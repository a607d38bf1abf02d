// What the recovery page shows of every serial port: what its reconnaissance found, whether it is the
// selected one, whether it flashes, and its settings and image. The dispatcher's "portList" names the
// ports and the selected one's MAC address only.
#pragma once

#include <string>

// The JSON answer {"ports": [...]}; empty when the main loop did not take the request in time.
// Any thread.
std::string recovery_port_details();
