// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX    100
#define IDS_ABOUTBOX    101
#define IDD_MAIN        102
#define IDR_MAINFRAME   128
#define IDB_OPEN        129
#define IDB_EXPORT      130
#define IDD_FORMAT      131
#define IDB_EXIT        136
#define IDD_GOTO        140
#define IDD_FIND        141
#define IDD_SEARCHING   142
#define IDD_RECORD      143
#define IDR_RECORD_KEYS 144

#define IDC_RECORDS     1000
#define IDC_OPEN        1001
#define IDC_EXPORT      1002
#define IDC_CAPTION     1003
#define IDC_EXIT        1004
#define IDC_NEXT        1005
#define IDC_FIXED       1006
#define IDC_TAB         1007
#define IDC_COMMA       1008
#define IDC_OTHER       1009
#define IDC_OTHER_CHAR  1010
#define IDC_GOTO_PROMPT 1011
#define IDC_GOTO_NUMBER 1012
#define IDC_FIND_TEXT   1013
#define IDC_SEARCH_TEXT 1014
#define IDC_SEARCH_BAR  1015
#define IDC_FIND_PROMPT 1016

// The record commands: context menu items and keys alike.
#define ID_RECORD_COPY      32771
#define ID_RECORD_GOTO      32772
#define ID_RECORD_FIND      32773
#define ID_RECORD_FIND_NEXT 32774
#define ID_RECORD_VIEW      32775

// The about box's system-menu command; the system keeps the low four bits.
#define IDM_ABOUTBOX    0x0010

// The list's context menu: the code pages, one command each, from the first on.
#define IDM_CODEPAGE_FIRST  40100
#define IDM_CODEPAGE_LAST   40199

#ifndef IDC_STATIC
#define IDC_STATIC      (-1)
#endif
