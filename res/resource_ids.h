// Numeric ids of the program's resources and commands.
#pragma once

namespace tarvel::res {

// Resources.
inline constexpr int IDR_MAINFRAME = 128;  // menu, toolbar, accelerators, main icon, document string
inline constexpr int IDR_DOCUMENT_ICON = 129;
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SETTINGS = 130;
inline constexpr int IDD_CHOOSEDIR = 132;
inline constexpr int IDC_HAND = 119;

// Commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_DEFAULT_HELP = 57671;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_FILE_SETTINGS = 32771;
inline constexpr int ID_VIEW_CLEARWINDOW = 32774;
inline constexpr int ID_FILE_SAVE_LOG = 32775;

// Strings.
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;
inline constexpr const char* kAppTitle = "Tarvel";
inline constexpr const char* kDocumentString = "Tarvel\n\nTarvel\n\n\nTarvel.Document\nTarvel Document";
inline constexpr const char* kIdleMessage = "For Help, press F1";
inline constexpr const char* kHelpModeMessage = "Select an object on which to get Help";

// Settings dialog controls (dialog 130).
inline constexpr int IDC_OPEN_ON = 1009, IDC_HIGH_ON = 1012, IDC_LOW_ON = 1015, IDC_VOL_ON = 1021,
                     IDC_OI_ON = 1024;
inline constexpr int IDC_DATE_COL = 1004, IDC_OPEN_COL = 1010, IDC_HIGH_COL = 1013, IDC_LOW_COL = 1016,
                     IDC_CLOSE_COL = 1019, IDC_VOL_COL = 1022, IDC_OI_COL = 1025;
inline constexpr int IDC_DATE_SPIN = 1005, IDC_OPEN_SPIN = 1011, IDC_HIGH_SPIN = 1014, IDC_LOW_SPIN = 1017,
                     IDC_CLOSE_SPIN = 1020, IDC_VOL_SPIN = 1023, IDC_OI_SPIN = 1026;
inline constexpr int IDC_PATH = 1027, IDC_EXISTING_MASTER = 1028, IDC_NEW_MASTER = 1029, IDC_BROWSE = 1030;
inline constexpr int IDC_SYMBOL = 1031, IDC_NAME = 1032, IDC_SKIP_ROWS = 1033, IDC_SKIP_SPIN = 1034,
                     IDC_SKIP_ON = 1035;
inline constexpr int IDC_COMMA = 1036, IDC_TAB = 1037, IDC_SPACE = 1038, IDC_DATE_FORMAT = 1039;
inline constexpr int IDC_SEMICOLON = 1040, IDC_PIPE = 1041, IDC_DECIMAL_COMMA = 1042;
inline constexpr int IDC_PREVIEW = 1043, IDC_PREVIEW_SUMMARY = 1044, IDC_UPDATE = 1045;

// Directory chooser (dialog 132) and About box (dialog 100).
inline constexpr int IDC_DIRECTORY_NAME = 101;
inline constexpr int IDC_LEGAL = 1004;
inline constexpr int IDC_MAIL_LINK = 1022;
inline constexpr int IDC_WEB_LINK = 1023;

// The maker's links in the About box; the link label recognises an e-mail
// address by kMailMarker.
inline constexpr const char* kMailAddress = "tarvel-support@example.org";
inline constexpr const char* kMailMarker = "tarvel-support@";
inline constexpr const char* kWebAddress = "https://tarvel.example.org/";

}  // namespace tarvel::res
