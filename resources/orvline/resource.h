/* Resource identifiers of orvline (read by windres and by the C++ sources). */
#ifndef ORVLINE_RESOURCE_H
#define ORVLINE_RESOURCE_H

#define IDI_ORVLINE                 128

#define IDS_USAGE_SYNTAX            2
#define IDS_USAGE_MEANING           3
#define IDS_USAGE_OPTIONS           4
#define IDS_SOURCE_MISSING          5
#define IDS_DIFFERENT_DRIVES        6
#define IDS_SAME_PATHS              7
#define IDS_UNSUPPORTED_ACTION      8
#define IDS_PROCESS_FAILED          9
#define IDS_RESTART_FAILED          10
#define IDS_DONE                    11
#define IDS_RESTARTING              12
#define IDS_GATHERING_PENDING       13
#define IDS_PROCESSING              15
#define IDS_CANNOT_ADD              16
#define IDS_WRITING_REPORT          17
#define IDS_INIT_FAILED             18
#define IDS_DOWNGRADE_REFUSED       19
#define IDS_DOWNGRADE_DETECTED      20
#define IDS_DESCRIPTION             27
#define IDS_STATUS_NOT_PROCESSED    28
#define IDS_STATUS_REPLACED         30
#define IDS_STATUS_DELETED          31
#define IDS_STATUS_DELAYED          32
#define IDS_STATUS_LABEL            33
#define IDS_QUEUED_DELETE           40
#define IDS_QUEUED_RENAME           41
#define IDS_QUEUED_REPLACE          42
#define IDS_QUEUED_MOVE             43
#define IDS_QUEUED_TO               44
#define IDS_QUEUED_WITH             45
#define IDS_QUEUED_SOURCE_GONE      46
#define IDS_QUEUE_EMPTY             47
#define IDS_NO_HOLDER               48
#define IDS_STATUS_MOVED            51
#define IDS_STATUS_UPDATED          88
#define IDS_HELD_LOADED             91
#define IDS_HELD_OPEN               92
#define IDS_HELD_LOADED_OPEN        93
#define IDS_CURRENT_FOLDER          122
#define IDS_RELEASED                123
#define IDS_RELEASE_REFUSED         124
#define IDS_RELEASE_FAILED          125
#define IDS_PRODUCT_NAME            57344

#endif
