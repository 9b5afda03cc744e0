/*
 * Resource identifiers of the orvgui wizard.
 *
 * Plain preprocessor definitions only: this header is read both by
 * windres (orvgui.rc) and by the C++ sources of the wizard.
 *
 * Several control ids are deliberately shared between different
 * templates (for example 1011 is the process list on the process page
 * and the "Processus >" button on the summary page); each use has its
 * own name below, with the same value.
 */
#ifndef ORVGUI_RESOURCE_H
#define ORVGUI_RESOURCE_H

/* ------------------------------------------------------------------ */
/* Icon, menu, bitmaps                                                 */
/* ------------------------------------------------------------------ */

#define IDI_ORVANE                      128     /* program icon, 32x32 and 16x16 */

#define IDB_WATERMARK                   131     /* 164x314, exterior pages */
#define IDB_PROCESS_IMAGES              133     /* 2 x 16x16: window, warning triangle */
#define IDB_HEADER                      134     /* 49x49, interior page header */
#define IDB_TREE_IMAGES                 135     /* 10 x 16x16: operation tree */
#define IDB_REGISTRY_IMAGES             137     /* 2 x 16x16: value, value with missing file */

/* Images of IDB_TREE_IMAGES, in strip order */
#define IMG_TREE_FILE                   0
#define IMG_TREE_FILE_DELETED           1
#define IMG_TREE_FOLDER                 2
#define IMG_TREE_FOLDER_DELETED         3
#define IMG_TREE_INFO                   4
#define IMG_TREE_PROTECTED              5
#define IMG_TREE_REGISTRY               6
#define IMG_TREE_CHECK                  7       /* overlay 1 */
#define IMG_TREE_CROSS                  8       /* overlay 2 */
#define IMG_TREE_HOURGLASS              9       /* overlay 3 */
#define IMG_TREE_COUNT                  10

/* Images of IDB_PROCESS_IMAGES */
#define IMG_PROCESS_WINDOW              0
#define IMG_PROCESS_WARNING             1
#define IMG_PROCESS_COUNT               2

/* Images of IDB_REGISTRY_IMAGES */
#define IMG_REGISTRY_VALUE              0
#define IMG_REGISTRY_VALUE_MISSING      1
#define IMG_REGISTRY_COUNT              2

/* Transparent colour of the 16x16 strips: RGB(255, 0, 255) */
#define IMG_MASK_COLOR                  0x00FF00FF

/* Pop-up menu of the "&Sélectionner..." button (first sub-menu) */
#define IDR_SELECT_MENU                 138
#define IDM_SELECT_FILE                 32771   /* "un &Fichier" */
#define IDM_SELECT_REGISTRY_FILE        32774   /* "un Fichier depuis le &Registre" */
#define IDM_SELECT_FOLDER               32775   /* "un &Dossier" */

/* ------------------------------------------------------------------ */
/* Dialog templates                                                    */
/* ------------------------------------------------------------------ */

#define IDD_ABOUTBOX                    135
#define IDD_SELECT_REGISTRY_FILE        136
#define IDD_WELCOME                     365     /* exterior, 317x193 */
#define IDD_COMPLETE                    369     /* exterior, 317x193 */
#define IDD_SUMMARY                     370
#define IDD_FILE_ACTION                 373
#define IDD_FOLDER_ACTION               374
#define IDD_PROCESSES                   375     /* 317x157 */
#define IDD_SELECT                      376
#define IDD_PENDING                     377
#define IDD_REPLACE_FILE                378
#define IDD_RENAME_FILE                 379
#define IDD_MOVE_FILE                   380
#define IDD_MOVE_FOLDER                 381
#define IDD_RENAME_FOLDER               382

/* ------------------------------------------------------------------ */
/* Controls                                                            */
/* ------------------------------------------------------------------ */

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

/* Exterior pages (welcome, completion): big title in the title font */
#define IDC_BIG_TITLE                   1020

/* Welcome page (365) */
#define IDC_CONTEXT_MENU                1037    /* "+ &Contextuel" / "- Con&textuel" */
#define IDC_ABOUT                       1021    /* "A &Propos" */

/* Completion page (369) */
#define IDC_NO_RESTART                  1000    /* check box "Ne &pas redémarrer maintenant" */
#define IDC_RESTART_TEXT                1026
#define IDC_SHOW_REPORT                 1019    /* "Afficher le &Rapport" */
#define IDC_RESULT_TEXT                 1041    /* the outcome sentence */

/* Folder action page (374) and summary page (370): how far a long job has come */
#define IDC_PROGRESS_TEXT               1042

/* Summary page (370) */
#define IDC_OPERATION_TREE              1001
#define IDC_REMOVE                      1003    /* "Enlever" */
#define IDC_ADD                         1005    /* "Ajouter >" */
#define IDC_SHOW_PROCESSES              1011    /* "Processus >" */

/* File action page (373): radio group */
#define IDC_FILE_DELETE                 1012
#define IDC_FILE_RENAME                 1013
#define IDC_FILE_REPLACE                1014
#define IDC_FILE_MOVE                   1015

/* Folder action page (374): radio group */
#define IDC_FOLDER_DELETE               1027
#define IDC_FOLDER_RENAME               1028
#define IDC_FOLDER_MOVE                 1029

/* Process page (375) */
#define IDC_PROCESS_LIST                1011
#define IDC_TERMINATE                   1009    /* "&Terminer le Processus", created disabled */
#define IDC_REFRESH                     1017    /* "&Rafraîchir" */
#define IDC_PROCESS_NOTE                1037    /* one line above the list, by system family */
#define IDC_PROCESS_FILE                1043    /* the file whose holders are listed */
#define IDC_RELEASE                     1044    /* "&Libérer": closes the handles of a holder, created disabled */

/* File selection page (376) */
#define IDC_SELECT_PATH                 1004    /* edit "&Fichier ou dossier:" */
#define IDC_SELECT_BROWSE               1035    /* "&Sélectionner..." */

/* Pending operations page (377): radio group */
#define IDC_PENDING_KEEP                1022    /* "Acquérir et &Laisser" */
#define IDC_PENDING_REMOVE              1023    /* "Acquérir et &Enlever" */
#define IDC_PENDING_IGNORE              1024    /* "&Ignorer" */

/* Destination pages (378 to 382) */
#define IDC_CURRENT_PATH                1014    /* read-only: move file, replace */
#define IDC_CURRENT_FOLDER_PATH         1025    /* read-only: move folder */
#define IDC_CURRENT_FILE_NAME           1018    /* read-only: rename file */
#define IDC_CURRENT_FOLDER_NAME         1030    /* read-only: rename folder */
#define IDC_FILE_VERSION                1008    /* replace: version of the current file */
#define IDC_BROWSE                      1015    /* "E&xplorer..." */
#define IDC_NEW_FILE_NAME               1017    /* rename file input */
#define IDC_NEW_FOLDER_NAME             1031    /* rename folder input */
#define IDC_MOVE_DESTINATION            1021    /* move file, move folder input */
#define IDC_REPLACEMENT_PATH            1016    /* replace input */

/* About box (135) */
#define IDC_ABOUT_TITLE                 1010    /* group box, enlarged font */
#define IDC_ABOUT_VERSION               1008
#define IDC_ABOUT_COPYRIGHT             1016

/* Registry file selection dialog (136) */
#define IDC_REGISTRY_LIST               1034
#define IDC_COMPANY_NAME                1032
#define IDC_KEEP_REGISTRY_LINK          1036    /* check box, ticked by the dialog code */
#define IDC_DELETE_KEY                  1033    /* "&Supprimer" */

/* ------------------------------------------------------------------ */
/* String table                                                        */
/* ------------------------------------------------------------------ */

#define IDS_BROWSE_FOLDER_TITLE         3
#define IDS_TARGET_EXISTS               4
#define IDS_ACTION_DELETE               7
#define IDS_CONFIRM_QUIT                10
#define IDS_TARGET_FOLDER_MISSING       11
#define IDS_ACTION_RENAME               13
#define IDS_ACTION_REPLACE              14
#define IDS_ACTION_MOVE                 15
#define IDS_SOURCE_INVALID              17
#define IDS_SOURCE_MISSING              18
#define IDS_TARGET_INVALID              19
#define IDS_CONTEXT_MENU_VERB           20
#define IDS_TITLE_FONT_FACE             21
#define IDS_TARGET_TO                   22
#define IDS_TARGET_WITH                 23
#define IDS_ALREADY_IN_LIST             24
#define IDS_DIFFERENT_DRIVES_9X         25
#define IDS_OUT_OF_MEMORY               26
#define IDS_PROCESS_ERROR               27
#define IDS_STATUS_NOT_PROCESSED        28
#define IDS_CONFIRM_PROCESS             29
#define IDS_STATUS_REPLACED             30
#define IDS_STATUS_DELETED              31
#define IDS_STATUS_DELAYED              32
#define IDS_STATUS_LABEL                33
#define IDS_SAME_SOURCE_TARGET          34
#define IDS_CONFIRM_NAME_DIFFERS        35
#define IDS_CANNOT_ADD                  36
#define IDS_CONFIRM_EXTENSION_DIFFERS   37
#define IDS_ERROR_CODE                  38
#define IDS_OLE_INIT_FAILED             39
#define IDS_REGISTRY_COLUMNS            40
#define IDS_PROCESS_COLUMNS             41
#define IDS_NO_PROCESS                  42
#define IDS_VERSION_FORMAT              43
#define IDS_CONFIRM_FORCE_TERMINATE     44
#define IDS_CANNOT_TERMINATE            45
#define IDS_CANNOT_TERMINATE_SELF       46
#define IDS_PROTECTED_FILE              48
#define IDS_STATUS_MOVED                51
#define IDS_SAME_DRIVE_REQUIRED         52
#define IDS_CONFIRM_INSTALL_MENU        53
#define IDS_CONFIRM_REMOVE_MENU         54
#define IDS_OPEN_FILE_FILTER            55
#define IDS_NO_REGISTRY_KEY             56
#define IDS_GROUP_CURRENT_USER          57
#define IDS_GROUP_LOCAL_MACHINE         58
#define IDS_FILE_PAGE_TITLE             59
#define IDS_FILE_PAGE_SUBTITLE          60
#define IDS_FOLDER_PAGE_TITLE           61
#define IDS_FOLDER_PAGE_SUBTITLE        62
#define IDS_PENDING_PAGE_TITLE          63
#define IDS_PENDING_PAGE_SUBTITLE       64
#define IDS_PROCESS_PAGE_TITLE          65
#define IDS_PROCESS_PAGE_SUBTITLE       66
#define IDS_SELECT_PAGE_TITLE           67
#define IDS_SELECT_PAGE_SUBTITLE        68
#define IDS_SUMMARY_PAGE_TITLE          69
#define IDS_SUMMARY_PAGE_SUBTITLE       70
#define IDS_CONTEXT_MENU_INSTALL        71
#define IDS_CONTEXT_MENU_REMOVE         72
#define IDS_REPLACE_PAGE_TITLE          73
#define IDS_REPLACE_PAGE_SUBTITLE       74
#define IDS_MOVE_FILE_PAGE_TITLE        75
#define IDS_MOVE_FILE_PAGE_SUBTITLE     76
#define IDS_MOVE_FOLDER_PAGE_TITLE      77
#define IDS_MOVE_FOLDER_PAGE_SUBTITLE   78
#define IDS_RENAME_FILE_PAGE_TITLE      79
#define IDS_RENAME_FILE_PAGE_SUBTITLE   80
#define IDS_CONFIRM_DOWNGRADE           81
#define IDS_NOT_AVAILABLE               82
#define IDS_RENAME_FOLDER_PAGE_TITLE    83
#define IDS_RENAME_FOLDER_PAGE_SUBTITLE 84
#define IDS_CONFIRM_DELETE_KEY          85
#define IDS_CANNOT_DELETE_KEY           86
#define IDS_REGISTRY_UPDATE             87
#define IDS_STATUS_UPDATED              88
#define IDS_PROCESS_INFO_FORMAT         89
#define IDS_RUNS_AS_SERVICE             90
#define IDS_HELD_LOADED                 91      /* process list: how the file is held */
#define IDS_HELD_OPEN                   92
#define IDS_HELD_LOADED_OPEN            93
#define IDS_PROCESS_NOTE_NT             94      /* process page, above the list */
#define IDS_PROCESS_NOTE_9X             95
#define IDS_RESULT_FAILED               99      /* completion page after a failure */
#define IDS_LISTING_PROGRESS            100     /* folder action page, while a tree is listed */
#define IDS_LISTING_CANCELLED           101
#define IDS_PROCESS_PROGRESS            102     /* summary page, while the list runs */
#define IDS_PROCESS_CANCELLED           103
#define IDS_PROCESS_FILE                104     /* process page: the file whose holders are listed */
#define IDS_CONFIRM_RELEASE             105     /* process page: before the handles of a holder are closed */
#define IDS_CANNOT_RELEASE              106
#define IDS_RELEASE_CRITICAL            107
#define IDS_RELEASE_SELF                108
#define IDS_DELETED_VALUE_COPY          120     /* a value's copy in the report before it is deleted */
#define IDS_SYSTEM_FOLDER               121     /* select page: a drive root or a folder holding the system */
#define IDS_CURRENT_FOLDER              122     /* select page: the program's current folder or one holding it */
#define IDS_NATIVE_START_FAILED         130     /* 64-bit Windows: the 64-bit build could not start */
#define IDS_PRODUCT_NAME                57344   /* 0xE000, also the application title */

#endif /* ORVGUI_RESOURCE_H */
