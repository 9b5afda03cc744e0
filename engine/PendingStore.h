// The operations already queued for the next restart.
#pragma once

bool RemovePending();
bool RemovePendingFromRegistry();
bool RemovePendingFromWinInit();
