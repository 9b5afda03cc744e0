// The operations queued for the next restart, read as they are stored and
// never taken over: what orvline /queue lists.
#pragma once

#include "cli/CommandLine.h"

#include <vector>

// The queue of this system's family (the registry value on the NT family,
// the [rename] section of wininit.ini on Windows 9x/Me) in its order. No
// queue at all is an empty one. False, with the last error, when the queue
// is there but cannot be read.
bool ReadQueuedOperations(std::vector<SQueuedOperation>& operations);
