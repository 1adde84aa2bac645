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

#endif
