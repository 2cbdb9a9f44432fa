// Dialog templates as stored in RT_DIALOG resources and handed to the
// indirect dialog calls: the classic DLGTEMPLATE with its DLGITEMTEMPLATEs,
// and the extended form (version 1, signature 0xFFFF) with its items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A menu, class or text field: absent, a 16-bit ordinal or a string.
struct TemplateField {
    enum class Kind { None, Ordinal, String };
    Kind kind = Kind::None;
    uint16_t ordinal = 0;
    std::u16string text;

    bool none() const { return kind == Kind::None; }
    bool is_ordinal() const { return kind == Kind::Ordinal; }
    bool is_string() const { return kind == Kind::String; }
};

struct DialogItemTemplate {
    uint32_t help_id = 0;  // extended templates only
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    // 16 bits in a classic template (so -1 reads 0xFFFF), 32 in an extended one.
    uint32_t id = 0;
    // The window class: a predefined ordinal (0x80 button, 0x81 edit,
    // 0x82 static, 0x83 listbox, 0x84 scrollbar, 0x85 combobox) is named
    // here by its class name, as is a string naming one of those classes in
    // any letter case; any other string class is given as written.  Empty
    // for an ordinal that names no predefined class.
    std::u16string class_name;
    uint16_t class_ordinal = 0;  // 0 when the class was given as a string
    TemplateField title;         // a string (maybe empty), or an ordinal (an image resource)
    std::vector<uint8_t> creation_data;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t help_id = 0;  // extended templates only
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    TemplateField menu;
    TemplateField window_class;
    std::u16string title;
    // Present when the style has DS_SETFONT.
    bool has_font = false;
    uint16_t point_size = 0;
    uint16_t weight = 0;  // extended templates only
    bool italic = false;  // extended templates only
    uint8_t charset = 0;  // extended templates only
    std::u16string font_face;
    std::vector<DialogItemTemplate> items;
};

// The class name of a predefined control ordinal (0x80 to 0x85), or "".
std::u16string predefined_class_name(uint16_t ordinal);

// Parses the template in [data, data + size); items are DWORD-aligned from
// the template's first byte, so `data` must be where the template starts.
// False (with *error) when the template is cut short or malformed; nothing
// outside the range is read.
bool parse_dialog_template(const void* data, size_t size, DialogTemplate* out, std::string* error);

}  // namespace sim
