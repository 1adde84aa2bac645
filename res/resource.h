// Every resource and control id of the program, shared by the code and the
// resource scripts.
#ifndef VTPANEL_RESOURCE_H
#define VTPANEL_RESOURCE_H

#define VT_VERSION_MAJOR 1
#define VT_VERSION_MINOR 0
#define VT_VERSION_TEXT "1.0"

// Pictures (language-neutral, res/pictures.rc).
#define IDI_APP              100 // notification-area and program icon
#define IDI_PANEL            128 // icon shown in the page templates
#define IDB_SPEAKER_FL       131 // front left speaker
#define IDB_SPEAKER_FR       132 // front right speaker
#define IDB_SPEAKER_RL       133 // rear left speaker
#define IDB_SPEAKER_RR       134 // rear right speaker
#define IDB_SPEAKER_CENTER   135 // centre speaker
#define IDB_SPEAKER_SUB      136 // subwoofer
#define IDB_NOTE             137 // the note sign beside the speaker that plays
#define IDCUR_HAND           138 // hand cursor over a speaker picture
#define IDB_SEPARATOR_143    143 // separator bitmaps used by the templates
#define IDB_SEPARATOR_144    144
#define IDB_SEPARATOR_145    145
#define IDB_SEPARATOR_146    146
#define IDB_SEPARATOR_147    147

#ifndef IDC_STATIC
#define IDC_STATIC              (-1) // labels and frames the code never touches
#endif

// Dialogs.
#define IDD_PANEL              112 // the control panel
#define IDD_VOICE_MANAGER      121 // voice manager page (no tab)
#define IDD_MIXING_OPTIONS     122 // mixing options page (no tab)
#define IDD_EFFECTS            123 // effects page
#define IDD_GENERAL            129 // general page
#define IDD_PLAYBACK_MIXER     139 // playback mixer page (no tab)
#define IDD_RECORD_MIXER       140 // record mixer page (no tab)
#define IDD_UNINSTALL_WARNING  149 // confirmation before the drivers are removed

// The tray menu and its commands.
#define IDM_TRAY               117
#define IDM_EXIT             40002
#define IDM_OPEN             40008

// Language marker: a resource of this type and id in every language holds
// that language's id as a 32-bit value.
#define VT_RT_LANGUAGE         255
#define IDR_LANGUAGE             1

// Control panel (dialog 112). OK and Cancel are IDOK and IDCANCEL.
#define IDC_PANEL_TAB         1062
#define IDC_APPLY             1049
#define IDC_PANEL_ICON        1145
#define IDC_DRIVER_VERSION    1052

// General page (dialog 129).
#define IDC_LAYOUT_2          1078 // "2 Speakers"
#define IDC_LAYOUT_4          1079 // "4 Speakers"
#define IDC_LAYOUT_6          1080 // "6 Speakers"
#define IDC_LAYOUT_STEREO_X2  1083 // "Stereo X 2"
#define IDC_UNINSTALL         1082
#define IDC_TEST_ALL          1093
#define IDC_FRAME_FRONT_LEFT  1087 // hidden frames marking the speaker pictures
#define IDC_FRAME_FRONT_RIGHT 1088
#define IDC_FRAME_REAR_LEFT   1089
#define IDC_FRAME_REAR_RIGHT  1090
#define IDC_FRAME_CENTER      1091
#define IDC_FRAME_SUBWOOFER   1092

// Effects page (dialog 123).
#define IDC_CPU_USAGE         1098 // track bar 0..2
#define IDC_REVERB            1053
#define IDC_ENVIRONMENT       1075 // combo box of the reverb environments
#define IDC_STEREO_EXPANSION  1068
#define IDC_SPREAD            1069 // track bar 0..1000
#define IDC_CENTER            1070 // track bar 0..1000
#define IDC_LOW_FREQUENCY     1035
#define IDC_EFFECTS_ICON      1071
#define IDC_ELEVATION         1034 // hidden
#define IDC_INTERPOLATE       1054 // hidden
#define IDC_MODE_QSOUND       1063 // hidden
#define IDC_MODE_STEREO       1064 // hidden
#define IDC_PROPERTY1_ON      1033 // in no template
#define IDC_PROPERTY1_VALUE   1037 // in no template
#define IDC_OUTPUT_SPEAKERS   1025 // hidden
#define IDC_OUTPUT_HEADPHONES 1066 // hidden
#define IDC_OUTPUT_MONO       1067 // hidden
#define IDC_OUTPUT_QUAD       1076 // hidden
#define IDC_SPLASH_LOGO       1072 // hidden

// Voice manager page (dialog 121).
#define IDC_LIMIT_TOTAL       1043
#define IDC_PLAY_LIMITED      1045
#define IDC_PLAY_LONGEST      1046
#define IDC_MAX_TOTAL         1047
#define IDC_MAX_PLAY          1048
#define IDC_PLAY_UNLIMITED    1050
#define IDC_MAX_TOTAL_SPIN    1055 // 2..1000
#define IDC_MAX_PLAY_SPIN     1056 // 1..1000

// Mixing options page (dialog 122).
#define IDC_FLOATING_POINT    1038
#define IDC_LATENCY           1057
#define IDC_LATENCY_SPIN      1059 // 10..200
#define IDC_MIX_PRIMARY       1073 // hidden
#define IDC_BYPASS            1074 // hidden
#define IDC_VOLUME            1077 // vertical track bar 0..60 (dB)

// Playback mixer page (dialog 139): six columns, ids consecutive per kind.
#define IDC_PLAYBACK_VOLUME0  1099 // ..1104, vertical track bars 0..15
#define IDC_PLAYBACK_NAME0    1107 // ..1112
#define IDC_PLAYBACK_BALANCE0 1113 // ..1118, horizontal track bars 0..32
#define IDC_PLAYBACK_MUTE0    1120 // ..1125, "&Mute All", then "&Mute"

// Record mixer page (dialog 140): five columns; the fifth column's ids do not
// follow the first four.
#define IDC_RECORD_NAME0      1127 // ..1131
#define IDC_RECORD_VOLUME0    1132 // ..1135
#define IDC_RECORD_SELECT0    1136 // ..1139
#define IDC_RECORD_BALANCE0   1140 // ..1143
#define IDC_RECORD_BALANCE4   1144
#define IDC_RECORD_VOLUME4    1145
#define IDC_RECORD_SELECT4    1146

// Uninstall warning (dialog 149); its buttons are IDYES and IDNO.
#define IDC_WARNING_TEXT      1150

// Strings. 1..17: DirectSound result texts, in the order of their table.
#define IDS_DS_OK                     1
#define IDS_DSERR_ALLOCATED           2
#define IDS_DSERR_CONTROLUNAVAIL      3
#define IDS_DSERR_INVALIDPARAM        4
#define IDS_DSERR_INVALIDCALL         5
#define IDS_DSERR_GENERIC             6
#define IDS_DSERR_PRIOLEVELNEEDED     7
#define IDS_DSERR_OUTOFMEMORY         8
#define IDS_DSERR_BADFORMAT           9
#define IDS_DSERR_UNSUPPORTED        10
#define IDS_DSERR_NODRIVER           11
#define IDS_DSERR_ALREADYINITIALIZED 12
#define IDS_DSERR_NOAGGREGATION      13
#define IDS_DSERR_BUFFERLOST         14
#define IDS_DSERR_OTHERAPPHASPRIO    15
#define IDS_DSERR_UNINITIALIZED      16
#define IDS_DSERR_NOINTERFACE        17
// 18..46: the reverb environments in list order; 47: "- none -".
#define IDS_ENVIRONMENT_FIRST        18
#define IDS_ENVIRONMENT_LAST         46
#define IDS_ENVIRONMENT_NONE         47
#define IDS_UNINSTALL_DONE           48
#define IDS_UNINSTALL_FAILED         49
#define IDS_SPEAKER_TEST_HINT        50
#define IDS_CAPTION                  51 // message caption and icon tip
#define IDS_REMOVE_SYNTHESIZER       52
#define IDS_UNINSTALL_QUESTION       53 // not used: the warning is always English
#define IDS_TITLE_GENERAL            54
#define IDS_TITLE_EFFECTS            55
#define IDS_TITLE_PLAYBACK_MIXER     56
#define IDS_TITLE_RECORD_MIXER       57
#define IDS_TITLE_VOICE_MANAGER      58
#define IDS_TITLE_MIXING_OPTIONS     59
#define IDS_DRIVER_VERSION           60
#define IDS_NO_DRIVER                61
#define IDS_NO_ACCELERATION          62

#endif
