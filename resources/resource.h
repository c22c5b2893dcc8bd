// Resource identifiers of Sonvera.dll.
#pragma once

// The pass phrase: key of every encrypted text the library stores.
#define IDS_PASS_PHRASE         2001

// Take hints and labels of the voice dialog.
#define IDS_HINT_LENGTH_ABNORMAL 2029
#define IDS_HINT_TOO_QUIET      2030
#define IDS_HINT_TOO_LOUD       2031
#define IDS_MODE_ENROL          2033
#define IDS_MODE_VERIFY         2034
#define IDS_HINT_CHOOSE_WORD    3003
#define IDS_HINT_RECORD_VOICE   3004
#define IDS_HINT_READ_AGAIN     3005
#define IDS_HINT_READ_ONCE_MORE 3006
#define IDS_HINT_PRESS_RECORD   3007
#define IDS_HINT_TAKE_DONE      3008
#define IDS_HINT_TRAINING       3009
#define IDS_HINT_PLEASE_WAIT    3012
#define IDS_HINT_REPLAYED       3013
#define IDS_HINT_ACCEPTED       3014
#define IDS_HINT_REJECTED       3015
#define IDS_HINT_ENROL_FAILED   3019
#define IDS_HINT_ENTER_ID       3021
#define IDS_HINT_FIRST_ENROL    3023
#define IDS_HINT_WRONG_WORD     3027
#define IDS_ASK_ENROL_ANYWAY    3029
#define IDS_HINT_WORD_TAKEN     3030
#define IDS_HINT_NO_AUTHORITY   3031

// Dialog templates.
#define IDD_VOICE_DIALOG        3000
#define IDC_EDIT_ID             3001
#define IDC_COMBO_WORD          3002
#define IDC_EDIT_PASSWORD       3003
#define IDD_SELECT_DRIVE        2035
#define IDC_LIST_DRIVES         5013
#define IDC_BUTTON_CANCEL       5014
