// What the server can do on the network, for the pages to say instead of an empty unit list or a
// recovery that cannot serve its image: the answer of /updater/networkStatus.json,
// {"interfaces": [{"name", "open", "reason"}], "tftp": {"listening", "reason"}}; "interfaces" is
// null until the server has first looked for them.
#pragma once

#include "handlers/updater_support.h"

void updater_network_status(UpdaterRequest& r);
