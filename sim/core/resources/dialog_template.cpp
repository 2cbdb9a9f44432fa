#include "resources/dialog_template.h"

#include <cstring>

#include "base/text.h"

namespace sim {

namespace {

constexpr uint32_t kDsSetFont = 0x40;

// Little-endian reads within [0, size) of the template; every read checks
// its bounds and a failed one leaves the reader failed.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }

    uint16_t u16() {
        uint16_t v = 0;
        take(&v, 2);
        return v;
    }
    uint32_t u32() {
        uint32_t v = 0;
        take(&v, 4);
        return v;
    }
    int16_t s16() { return int16_t(u16()); }
    uint8_t u8() {
        uint8_t v = 0;
        take(&v, 1);
        return v;
    }
    void bytes(size_t n, std::vector<uint8_t>* out) {
        if (!ok_ || n > size_ - pos_) {
            ok_ = false;
            return;
        }
        out->assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
    }
    std::u16string string() {
        std::u16string s;
        for (;;) {
            char16_t c = u16();
            if (!ok_ || !c) return s;
            s += c;
        }
    }
    // A field that is 0xFFFF followed by an ordinal or a terminated string;
    // for a menu or class a lone 0x0000 means none, for a title the empty
    // string.
    TemplateField field(bool zero_is_none) {
        TemplateField f;
        uint16_t first = u16();
        if (!ok_) return f;
        if (first == 0) {
            if (!zero_is_none) f.kind = TemplateField::Kind::String;
            return f;
        }
        if (first == 0xFFFF) {
            f.kind = TemplateField::Kind::Ordinal;
            f.ordinal = u16();
            return f;
        }
        f.kind = TemplateField::Kind::String;
        f.text = first;
        f.text += string();
        return f;
    }
    void align4() {
        size_t aligned = (pos_ + 3) & ~size_t(3);
        // Padding after the last item may be missing at the very end.
        if (aligned > size_) aligned = size_;
        pos_ = aligned;
    }

private:
    void take(void* out, size_t n) {
        if (!ok_ || n > size_ - pos_) {
            ok_ = false;
            return;
        }
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool fail(std::string* error, const std::string& what, size_t pos) {
    if (error) *error = "dialog template at offset " + std::to_string(pos) + ": " + what;
    return false;
}

void read_item_class(Reader& r, DialogItemTemplate* item) {
    TemplateField cls = r.field(true);
    if (cls.is_ordinal()) {
        item->class_ordinal = cls.ordinal;
        item->class_name = predefined_class_name(cls.ordinal);
    } else {
        // The resource compiler writes the class of a CONTROL statement as
        // given (upper-cased); the predefined ones keep their usual names.
        item->class_ordinal = 0;
        item->class_name = cls.text;
        const std::u16string folded = lower(cls.text);
        for (uint16_t ordinal = 0x80; ordinal <= 0x85; ++ordinal)
            if (folded == predefined_class_name(ordinal)) item->class_name = folded;
    }
}

}  // namespace

std::u16string predefined_class_name(uint16_t ordinal) {
    switch (ordinal) {
    case 0x80: return u"button";
    case 0x81: return u"edit";
    case 0x82: return u"static";
    case 0x83: return u"listbox";
    case 0x84: return u"scrollbar";
    case 0x85: return u"combobox";
    default: return u"";
    }
}

bool parse_dialog_template(const void* data, size_t size, DialogTemplate* out, std::string* error) {
    if (!data) return fail(error, "no template", 0);
    Reader r(static_cast<const uint8_t*>(data), size);
    DialogTemplate t;

    const uint16_t version = r.u16();
    const uint16_t signature = r.u16();
    t.extended = r.ok() && version == 1 && signature == 0xFFFF;
    uint16_t count = 0;
    if (t.extended) {
        t.help_id = r.u32();
        t.ex_style = r.u32();
        t.style = r.u32();
    } else {
        r = Reader(static_cast<const uint8_t*>(data), size);
        t.style = r.u32();
        t.ex_style = r.u32();
    }
    count = r.u16();
    t.x = r.s16();
    t.y = r.s16();
    t.cx = r.s16();
    t.cy = r.s16();
    if (!r.ok()) return fail(error, "truncated header", r.pos());

    t.menu = r.field(true);
    t.window_class = r.field(true);
    t.title = r.string();
    if (!r.ok()) return fail(error, "truncated menu, class or title", r.pos());

    if (t.style & kDsSetFont) {
        t.has_font = true;
        t.point_size = r.u16();
        if (t.extended) {
            t.weight = r.u16();
            t.italic = r.u8() != 0;
            t.charset = r.u8();
        }
        t.font_face = r.string();
        if (!r.ok()) return fail(error, "truncated font", r.pos());
    }

    t.items.reserve(count < 256 ? count : 256);
    for (unsigned i = 0; i < count; ++i) {
        r.align4();
        const size_t start = r.pos();
        DialogItemTemplate item;
        if (t.extended) {
            item.help_id = r.u32();
            item.ex_style = r.u32();
            item.style = r.u32();
        } else {
            item.style = r.u32();
            item.ex_style = r.u32();
        }
        item.x = r.s16();
        item.y = r.s16();
        item.cx = r.s16();
        item.cy = r.s16();
        item.id = t.extended ? r.u32() : r.u16();
        read_item_class(r, &item);
        item.title = r.field(false);
        const uint16_t extra = r.u16();
        r.bytes(extra, &item.creation_data);
        if (!r.ok()) return fail(error, "truncated item " + std::to_string(i), start);
        t.items.push_back(std::move(item));
    }
    *out = std::move(t);
    return true;
}

}  // namespace sim
