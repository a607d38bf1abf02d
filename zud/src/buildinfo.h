#pragma once

// Set when the program is built: the short revision, the build time ("yyyy-MM-dd_hh:mm") and
// the number of files changed against the revision ("0" for a clean tree).
extern const char *const buildRevision;
extern const char *const buildTimeStamp;
extern const char *const buildModification;
