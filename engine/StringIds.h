// String-table ids that the engine reads from the running program's table.
// Both programs hold these ids (the console's texts without accents).
#pragma once

#define IDS_ENGINE_ACTION_DELETE     7
#define IDS_ENGINE_ACTION_RENAME     13
#define IDS_ENGINE_ACTION_REPLACE    14
#define IDS_ENGINE_ACTION_MOVE       15
#define IDS_ENGINE_TARGET_TO         22
#define IDS_ENGINE_TARGET_WITH       23
#define IDS_ENGINE_STATUS_NOT_DONE   28
#define IDS_ENGINE_STATUS_REPLACED   30
#define IDS_ENGINE_STATUS_DELETED    31
#define IDS_ENGINE_STATUS_DELAYED    32
#define IDS_ENGINE_STATUS_LABEL      33
#define IDS_ENGINE_STATUS_MOVED      51
#define IDS_ENGINE_UPDATE_VALUE      87
#define IDS_ENGINE_STATUS_UPDATED    88
#define IDS_ENGINE_HELD_LOADED       91
#define IDS_ENGINE_HELD_OPEN         92
#define IDS_ENGINE_HELD_LOADED_OPEN  93
