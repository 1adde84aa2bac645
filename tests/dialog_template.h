// A bounded reader of dialog templates as they are stored in a program's
// resources (both the extended and the classic layout).
#ifndef VTPANEL_TESTS_DIALOG_TEMPLATE_H
#define VTPANEL_TESTS_DIALOG_TEMPLATE_H

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A name field of a template: absent, an ordinal, or a text.
struct TemplateName {
    bool present = false;
    bool isOrdinal = false;
    unsigned ordinal = 0;
    std::string text; // UTF-8
};

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string className; // lower case; predefined classes by name
    TemplateName title;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateName menu;
    TemplateName windowClass;
    std::string caption;
    unsigned fontSize = 0;
    std::string fontName;
    std::vector<DialogItem> items;

    // The item with this id, or null; index receives its template position.
    const DialogItem *Find(int id, size_t *index = nullptr) const;
};

// Reads `size` bytes at `data`. Returns false, with a reason, when the
// template runs past its end or is malformed.
bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate *out, std::string *error);

#endif
