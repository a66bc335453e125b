// The setup dialog's template: the dialog box and its twenty controls in tab order. One table serves
// the resource script (setup.rc, through the resource compiler's preprocessor) and the dialog code,
// so the ids, classes, texts and places cannot drift apart. Only preprocessor lines belong here.
#ifndef QUORVANE_SETUP_CONTROLS_H
#define QUORVANE_SETUP_CONTROLS_H

#define SETUP_TEMPLATE_NAME "qrv_Setup"
// A top-level window with a caption and a close box, owned by the host window: neither WS_POPUP nor
// WS_CHILD.
#define SETUP_DIALOG_STYLE (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)
#define SETUP_DIALOG_X 31
#define SETUP_DIALOG_Y 32
#define SETUP_DIALOG_WIDTH 300
#define SETUP_DIALOG_HEIGHT 198
#define SETUP_DIALOG_CAPTION "Quorvane v1.0"
#define SETUP_FONT_POINTS 8
#define SETUP_FONT_FACE "MS SANS SERIF"

#define IDC_LABEL 0
#define IDC_ENABLE 10
#define IDC_DELAY 11
#define IDC_ALT_FILE_NAMING 12
#define IDC_ALT_DET_PATH 13
#define IDC_REC_FILE_NAME_SUFFIX 14
#define IDC_DET_FILE_NAME_SUFFIX 15
#define IDC_DVB_DEVICE_NAME 16
#define IDC_COMMENT 17
#define IDC_RECORDING_PATH 18
#define IDC_REC_FILE_NAMING 19
#define IDC_SETUP_OK 1       /* IDOK */
#define IDC_SETUP_CANCEL 2   /* IDCANCEL */

#define SETUP_CHECK_BOX_STYLE (WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP)
#define SETUP_LABEL_STYLE (WS_CHILD | WS_VISIBLE | SS_LEFT)
#define SETUP_EDIT_STYLE (WS_CHILD | WS_VISIBLE | ES_LEFT | WS_BORDER | WS_TABSTOP)
#define SETUP_NUMBER_STYLE (WS_CHILD | WS_VISIBLE | ES_RIGHT | WS_BORDER | WS_TABSTOP)

// The predefined window classes by their ordinals, as a dialog template names them.
#define SETUP_CLASS_ORDINAL_Button 0x0080
#define SETUP_CLASS_ORDINAL_Edit 0x0081
#define SETUP_CLASS_ORDINAL_Static 0x0082

// CONTROL(id, class, text, style, x, y, width, height). The class is a bare name, so that each user can
// make of it a text (#class) or an ordinal (SETUP_CLASS_ORDINAL_##class); the style is the whole style.
#define SETUP_CONTROL_TABLE(CONTROL) \
    CONTROL(IDC_ENABLE, Button, "Enable", SETUP_CHECK_BOX_STYLE, 10, 6, 60, 9) \
    CONTROL(IDC_LABEL, Static, "Delay", SETUP_LABEL_STYLE, 10, 20, 60, 10) \
    CONTROL(IDC_DELAY, Edit, "180", SETUP_NUMBER_STYLE, 80, 20, 50, 12) \
    CONTROL(IDC_ALT_FILE_NAMING, Button, "AltFileNaming", SETUP_CHECK_BOX_STYLE, 10, 37, 60, 9) \
    CONTROL(IDC_LABEL, Static, "AltDetPath", SETUP_LABEL_STYLE, 10, 51, 60, 9) \
    CONTROL(IDC_ALT_DET_PATH, Edit, "", SETUP_EDIT_STYLE, 80, 51, 216, 12) \
    CONTROL(IDC_LABEL, Static, "RecFileNameSuffix", SETUP_LABEL_STYLE, 10, 68, 60, 9) \
    CONTROL(IDC_REC_FILE_NAME_SUFFIX, Edit, ".mpg", SETUP_EDIT_STYLE, 80, 68, 216, 12) \
    CONTROL(IDC_LABEL, Static, "DetFileNameSuffix", SETUP_LABEL_STYLE, 10, 85, 60, 9) \
    CONTROL(IDC_DET_FILE_NAME_SUFFIX, Edit, ".txt", SETUP_EDIT_STYLE, 80, 85, 216, 12) \
    CONTROL(IDC_LABEL, Static, "DVBDevice_Name", SETUP_LABEL_STYLE, 10, 102, 60, 9) \
    CONTROL(IDC_DVB_DEVICE_NAME, Edit, "", SETUP_EDIT_STYLE, 80, 102, 216, 12) \
    CONTROL(IDC_LABEL, Static, "Comment", SETUP_LABEL_STYLE, 10, 119, 60, 9) \
    CONTROL(IDC_COMMENT, Edit, "", SETUP_EDIT_STYLE, 80, 119, 216, 12) \
    CONTROL(IDC_LABEL, Static, "RecordingPath", SETUP_LABEL_STYLE, 10, 136, 60, 9) \
    CONTROL(IDC_RECORDING_PATH, Edit, "", SETUP_EDIT_STYLE, 80, 136, 216, 12) \
    CONTROL(IDC_LABEL, Static, "RecFileNaming", SETUP_LABEL_STYLE, 10, 153, 60, 9) \
    CONTROL(IDC_REC_FILE_NAMING, Edit, "", SETUP_EDIT_STYLE, 80, 153, 216, 12) \
    CONTROL(IDC_SETUP_OK, Button, "OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 190, 180, 50, 14) \
    CONTROL(IDC_SETUP_CANCEL, Button, "Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 246, 180, 50, 14)

#endif
