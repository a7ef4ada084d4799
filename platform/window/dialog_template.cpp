#include "window/dialog_template.h"

#include "ce/window.h"

#include <cstdio>
#include <cstring>

namespace ce::wm {
namespace {

// A cursor over the template bytes; every read is checked against the end.
class Reader {
public:
    Reader(const BYTE *data, size_t size) : data_(data), size_(size) {}

    bool fail(const char *what) {
        if (error_.empty()) {
            char buf[160];
            snprintf(buf, sizeof buf, "dialog template: %s at offset %zu of %zu bytes", what, pos_, size_);
            error_ = buf;
        }
        return false;
    }

    bool word(WORD *v, const char *what) {
        if (size_ - pos_ < 2) return fail(what);
        *v = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool dword(DWORD *v, const char *what) {
        WORD lo = 0, hi = 0;
        if (size_ - pos_ < 4) return fail(what);
        word(&lo, what);
        word(&hi, what);
        *v = lo | (static_cast<DWORD>(hi) << 16);
        return true;
    }
    bool coord(int *v, const char *what) {
        WORD w;
        if (!word(&w, what)) return false;
        *v = static_cast<int16_t>(w);
        return true;
    }
    bool byte(BYTE *v, const char *what) {
        if (size_ - pos_ < 1) return fail(what);
        *v = data_[pos_++];
        return true;
    }
    // A zero-terminated UTF-16 text; the terminator must lie inside.
    bool text(std::u16string *s, const char *what) {
        s->clear();
        for (;;) {
            WORD c;
            if (!word(&c, what)) return fail(what);
            if (c == 0) return true;
            s->push_back(static_cast<char16_t>(c));
        }
    }
    // 0x0000: nothing; 0xFFFF then a number; else a text.
    bool name(NameOrOrdinal *n, const char *what) {
        WORD first;
        if (size_ - pos_ < 2) return fail(what);
        first = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        if (first == 0xFFFF) {
            pos_ += 2;
            n->is_ordinal = true;
            return word(&n->ordinal, what);
        }
        n->is_ordinal = false;
        return text(&n->text, what);
    }
    bool align4(const char *what) {
        size_t aligned = (pos_ + 3) & ~size_t(3);
        if (aligned > size_) return fail(what);
        pos_ = aligned;
        return true;
    }
    bool bytes(std::vector<BYTE> *out, size_t n, const char *what) {
        if (size_ - pos_ < n) return fail(what);
        out->assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return true;
    }

    const std::string &error() const { return error_; }

private:
    const BYTE *data_;
    size_t size_;
    size_t pos_ = 0;
    std::string error_;
};

bool parse_item(Reader &r, bool extended, DialogItem *item) {
    if (!r.align4("control record cut short")) return false;
    if (extended) {
        if (!r.dword(&item->help_id, "control help id cut short") || !r.dword(&item->ex_style, "control record cut short") ||
            !r.dword(&item->style, "control record cut short"))
            return false;
    } else {
        if (!r.dword(&item->style, "control record cut short") || !r.dword(&item->ex_style, "control record cut short"))
            return false;
    }
    if (!r.coord(&item->x, "control position cut short") || !r.coord(&item->y, "control position cut short") ||
        !r.coord(&item->cx, "control size cut short") || !r.coord(&item->cy, "control size cut short"))
        return false;
    if (extended) {
        if (!r.dword(&item->id, "control id cut short")) return false;
    } else {
        WORD id;
        if (!r.word(&id, "control id cut short")) return false;
        item->id = id;
    }
    if (!r.name(&item->window_class, "control class cut short or unterminated")) return false;
    if (!item->window_class.is_ordinal && item->window_class.text.empty())
        return r.fail("control without a class");
    if (!r.name(&item->title, "control text cut short or unterminated")) return false;
    WORD extra;
    if (!r.word(&extra, "control creation data size cut short")) return false;
    return r.bytes(&item->creation_data, extra, "control creation data longer than the template");
}

}  // namespace

const char16_t *class_of_atom(WORD atom) {
    switch (atom) {
    case 0x80: return u"button";
    case 0x81: return u"edit";
    case 0x82: return u"static";
    case 0x83: return u"listbox";
    case 0x84: return u"scrollbar";
    case 0x85: return u"combobox";
    default: return u"";
    }
}

bool parse_dialog_template(const void *data, size_t size, DialogTemplate *out, std::string *error) {
    DialogTemplate t;
    Reader r(static_cast<const BYTE *>(data), data ? size : 0);
    bool ok = [&] {
        if (!data) return r.fail("no template");
        WORD version, signature;
        if (!r.word(&version, "header cut short") || !r.word(&signature, "header cut short")) return false;
        t.extended = version == 1 && signature == 0xFFFF;
        WORD count;
        if (t.extended) {
            if (!r.dword(&t.help_id, "header cut short") || !r.dword(&t.ex_style, "header cut short") ||
                !r.dword(&t.style, "header cut short"))
                return false;
        } else {
            // The classic form starts with the style, whose words we just read.
            t.style = version | (static_cast<DWORD>(signature) << 16);
            if (!r.dword(&t.ex_style, "header cut short")) return false;
        }
        if (!r.word(&count, "header cut short") || !r.coord(&t.x, "header cut short") ||
            !r.coord(&t.y, "header cut short") || !r.coord(&t.cx, "header cut short") ||
            !r.coord(&t.cy, "header cut short"))
            return false;
        if (!r.name(&t.menu, "menu name cut short or unterminated")) return false;
        if (!r.name(&t.window_class, "class name cut short or unterminated")) return false;
        if (!r.text(&t.caption, "caption cut short or unterminated")) return false;
        if (t.style & DS_SETFONT) {
            t.has_font = true;
            if (!r.word(&t.point_size, "font size cut short")) return false;
            if (t.extended && (!r.word(&t.weight, "font weight cut short") || !r.byte(&t.italic, "font cut short") ||
                               !r.byte(&t.charset, "font cut short")))
                return false;
            if (!r.text(&t.font, "font name cut short or unterminated")) return false;
        }
        t.items.resize(count);
        for (WORD i = 0; i < count; ++i)
            if (!parse_item(r, t.extended, &t.items[i])) return false;
        return true;
    }();
    if (!ok) {
        if (error) *error = r.error();
        return false;
    }
    *out = std::move(t);
    return true;
}

}  // namespace ce::wm
