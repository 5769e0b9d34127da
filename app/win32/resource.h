// Resource and control identifiers of the main window.
#ifndef VERGLE_RESOURCE_H
#define VERGLE_RESOURCE_H

#define IDI_VERGLE 100
#define IDB_BANNER 101
#define IDB_BANNER2 102

#define IDC_BROWSE 201
#define IDC_CANCEL 202
#define IDC_RUN 203
#define IDC_CLEAR 204
#define IDC_CHOOSE1 205
#define IDC_CHOOSE2 206
#define IDC_TEXTBOX 601
#define IDC_ALLPAGE 602

#define IDM_EXIT 403
#define IDM_VERSION 404
#define IDM_HELP 405

#endif
