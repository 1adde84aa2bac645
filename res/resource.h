// Every resource and control id of the program, shared by the code and the
// resource scripts.
#ifndef VTPANEL_RESOURCE_H
#define VTPANEL_RESOURCE_H

#define VT_VERSION_MAJOR 1
#define VT_VERSION_MINOR 0
#define VT_VERSION_TEXT "1.0"

#endif
