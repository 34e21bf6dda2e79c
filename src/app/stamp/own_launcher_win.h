// The running launcher as the checker compares it with the manifest's: its
// file version, its size and its launcher checksum (stamped slots left out).
#pragma once

#include "update/checker/checker_decisions.h"

// Reads version and size now; the checksum is computed when asked for.
OwnLauncher describeOwnLauncher();
