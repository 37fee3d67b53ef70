// Resource ids of the window program: dialog templates, controls and icon.
// The numbers are fixed; tests and the templates name controls by them.
#pragma once

#define IDD_MAIN 106
#define IDD_PRINTING 111
#define IDD_EXPORT 113
#define IDI_APP 105

// Main window.
#define IDC_DATABASE_PATH 1002
#define IDC_LOAD 1003
#define IDC_NEW 1005
#define IDC_IMPORT 1006
#define IDC_EXPORT 1007
#define IDC_PRINT 1008
#define IDC_DATABASE_DETAILS 1009
#define IDC_ABOUT 1010
#define IDC_HELP_BUTTON 1011
#define IDC_IMAGE_LIST 1012
#define IDC_IMAGE_DETAILS 1013
#define IDC_COPY 1014
#define IDC_PREVIEW 1015
#define IDC_PASTE 1016
#define IDC_INSTALL 1017

// Export Image(s) dialog.
#define IDC_EXPORT_SINGLE 1026
#define IDC_EXPORT_NUMBERED 3
#define IDC_EXPORT_NAMED 4
#define IDC_EXPORT_CANCEL 1022

// Printing Image dialog.
#define IDC_PRINT_CANCEL 1022

// Install Database to Handheld (the user chooser).
#define IDD_CHOOSE_USER 112
#define IDC_USER_LIST 1024
#define IDC_USER_OK 1023
#define IDC_USER_CANCEL 1022

// Import Image dialog.
#define IDD_IMPORT 108
#define IDC_IMPORT_PREVIEW 1015
#define IDC_IMPORT_NAME 1025
#define IDC_IMPORT_FORMAT 1020
#define IDC_IMPORT_SIZE 1027
#define IDC_IMPORT_WIDTH 1018
#define IDC_IMPORT_HEIGHT 1019
#define IDC_IMPORT_PROPORTIONS 1021
#define IDC_IMPORT_DITHER 1024
#define IDC_IMPORT_CONTRAST 1016
#define IDC_IMPORT_CONTRAST_RESET 3
#define IDC_IMPORT_BRIGHTNESS 1017
#define IDC_IMPORT_BRIGHTNESS_RESET 4
#define IDC_IMPORT_ALL 1026
#define IDC_IMPORT_OK 1023
#define IDC_IMPORT_CANCEL 1022

// The image list's context menu.
#define IDM_RENAME 1040
#define IDM_DELETE 1041
#define IDM_MOVE_UP 1042
#define IDM_MOVE_DOWN 1043

// Rename Image dialog.
#define IDD_RENAME 114
#define IDC_RENAME_NAME 1044
