#include "dialog_template.h"

#include <cctype>

namespace {

// Reads little-endian fields from a bounded block; every read checks the end.
class TemplateReader {
public:
    TemplateReader(const void *data, size_t size)
        : bytes(static_cast<const unsigned char *>(data)), size(size) {}

    bool Word(unsigned *value)
    {
        if (offset + 2 > size)
            return Fail("ends inside a 16-bit field");
        *value = bytes[offset] | (bytes[offset + 1] << 8);
        offset += 2;
        return true;
    }
    bool Short(short *value)
    {
        unsigned word;
        if (!Word(&word))
            return false;
        *value = static_cast<short>(word);
        return true;
    }
    bool Dword(DWORD *value)
    {
        unsigned low, high;
        if (!Word(&low) || !Word(&high))
            return false;
        *value = static_cast<DWORD>(low | (high << 16));
        return true;
    }
    bool Byte(unsigned *value)
    {
        if (offset + 1 > size)
            return Fail("ends inside a byte field");
        *value = bytes[offset++];
        return true;
    }
    // A zero-terminated UTF-16 text, converted to UTF-8.
    bool Text(std::string *text)
    {
        std::wstring wide;
        for (;;) {
            unsigned unit;
            if (!Word(&unit))
                return Fail("text without terminator");
            if (unit == 0)
                break;
            wide.push_back(static_cast<wchar_t>(unit));
        }
        text->clear();
        if (wide.empty())
            return true;
        char buffer[1024];
        int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                         buffer, sizeof buffer, nullptr, nullptr);
        if (length <= 0)
            return Fail("text too long or not convertible");
        text->assign(buffer, static_cast<size_t>(length));
        return true;
    }
    bool Name(TemplateName *name)
    {
        unsigned first;
        if (!Word(&first))
            return false;
        *name = TemplateName();
        if (first == 0)
            return true;
        name->present = true;
        if (first == 0xFFFF) {
            name->isOrdinal = true;
            return Word(&name->ordinal);
        }
        offset -= 2;
        return Text(&name->text);
    }
    bool Skip(size_t count)
    {
        if (offset + count > size)
            return Fail("extra data runs past the end");
        offset += count;
        return true;
    }
    void AlignToDword() { offset = (offset + 3) & ~static_cast<size_t>(3); }
    bool Fail(const char *why)
    {
        if (error.empty())
            error = why;
        return false;
    }

    std::string error;

private:
    const unsigned char *bytes;
    size_t size;
    size_t offset = 0;
};

// The predefined window classes that templates name by ordinal.
std::string ClassName(const TemplateName &name)
{
    if (name.isOrdinal) {
        switch (name.ordinal) {
        case 0x80: return "button";
        case 0x81: return "edit";
        case 0x82: return "static";
        case 0x83: return "listbox";
        case 0x84: return "scrollbar";
        case 0x85: return "combobox";
        default: return "#" + std::to_string(name.ordinal);
        }
    }
    std::string lower = name.text;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool ReadItem(TemplateReader &reader, bool extended, DialogItem *item)
{
    reader.AlignToDword();
    DWORD helpId = 0;
    if (extended && !reader.Dword(&helpId))
        return false;
    if (extended) {
        if (!reader.Dword(&item->exStyle) || !reader.Dword(&item->style))
            return false;
    } else if (!reader.Dword(&item->style) || !reader.Dword(&item->exStyle)) {
        return false;
    }
    if (!reader.Short(&item->x) || !reader.Short(&item->y) || !reader.Short(&item->cx) ||
        !reader.Short(&item->cy))
        return false;
    if (extended) {
        DWORD id;
        if (!reader.Dword(&id))
            return false;
        item->id = static_cast<int>(id);
    } else {
        unsigned id;
        if (!reader.Word(&id))
            return false;
        item->id = static_cast<short>(id);
    }
    TemplateName windowClass;
    unsigned extra;
    if (!reader.Name(&windowClass) || !reader.Name(&item->title) || !reader.Word(&extra))
        return false;
    item->className = ClassName(windowClass);
    return reader.Skip(extra);
}

} // namespace

const DialogItem *DialogTemplate::Find(int id, size_t *index) const
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].id == id) {
            if (index)
                *index = i;
            return &items[i];
        }
    }
    return nullptr;
}

bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate *out, std::string *error)
{
    TemplateReader reader(data, size);
    DialogTemplate dialog;
    unsigned version, signature;
    if (!reader.Word(&version) || !reader.Word(&signature)) {
        *error = reader.error;
        return false;
    }
    dialog.extended = version == 1 && signature == 0xFFFF;
    bool ok = true;
    unsigned count = 0;
    if (dialog.extended) {
        DWORD helpId;
        ok = reader.Dword(&helpId) && reader.Dword(&dialog.exStyle) && reader.Dword(&dialog.style);
    } else {
        // The classic layout begins with the style; the two words just read are it.
        TemplateReader again(data, size);
        reader = again;
        ok = reader.Dword(&dialog.style) && reader.Dword(&dialog.exStyle);
    }
    ok = ok && reader.Word(&count) && reader.Short(&dialog.x) && reader.Short(&dialog.y) &&
         reader.Short(&dialog.cx) && reader.Short(&dialog.cy);
    ok = ok && reader.Name(&dialog.menu) && reader.Name(&dialog.windowClass) && reader.Text(&dialog.caption);
    if (ok && (dialog.style & DS_SETFONT)) {
        ok = reader.Word(&dialog.fontSize);
        if (ok && dialog.extended) {
            unsigned weight, italic, charset;
            ok = reader.Word(&weight) && reader.Byte(&italic) && reader.Byte(&charset);
        }
        ok = ok && reader.Text(&dialog.fontName);
    }
    for (unsigned i = 0; ok && i < count; ++i) {
        DialogItem item;
        ok = ReadItem(reader, dialog.extended, &item);
        if (ok)
            dialog.items.push_back(item);
    }
    if (!ok) {
        *error = reader.error;
        return false;
    }
    *out = dialog;
    return true;
}
