// How an edit field lays out its text in lines of character cells: one
// cell is 4 horizontal and 8 vertical dialog units. Multi-line fields
// without ES_AUTOHSCROLL wrap at their width.
#pragma once

#include "ce/window.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace ce::ctl {

// Character columns inside a field: its width less the border and the
// vertical scroll bar.
inline int columns(DWORD style, int cx) {
    int cols = cx / 4;
    if (style & WS_BORDER) cols -= 1;
    if (style & WS_VSCROLL) cols -= 1;
    return std::max(cols, 1);
}

inline int visible_rows(DWORD style, int cy) {
    int rows = cy / 8;
    if (style & WS_BORDER) rows = (cy - 2) / 8;
    return std::max(rows, 1);
}

struct Layout {
    std::vector<std::u16string> lines;
    std::vector<int> starts;  // text offset where each line starts

    // Line and column of a text offset.
    std::pair<int, int> position(int offset) const {
        int line = 0;
        for (int i = 0; i < static_cast<int>(starts.size()); ++i)
            if (starts[i] <= offset) line = i;
        return {line, offset - starts[line]};
    }
    // Text offset of a line and column (the column cut to the line).
    int offset(int line, int column) const {
        line = std::clamp(line, 0, static_cast<int>(lines.size()) - 1);
        return starts[line] + std::clamp(column, 0, static_cast<int>(lines[line].size()));
    }
};

inline Layout layout(const std::u16string &text, int cols, bool multiline, bool wrap) {
    Layout l;
    if (!multiline) {
        l.lines.push_back(text);
        l.starts.push_back(0);
        return l;
    }
    size_t i = 0;
    for (;;) {
        size_t end = text.find_first_of(u"\r\n", i);
        size_t stop = end == std::u16string::npos ? text.size() : end;
        // The logical line from i to stop, cut into rows when wrapping.
        size_t pos = i;
        do {
            size_t len = stop - pos;
            if (wrap && len > static_cast<size_t>(cols)) len = static_cast<size_t>(cols);
            l.starts.push_back(static_cast<int>(pos));
            l.lines.push_back(text.substr(pos, len));
            pos += len;
        } while (pos < stop);
        if (end == std::u16string::npos) break;
        i = end + 1;
        if (text[end] == u'\r' && i < text.size() && text[i] == u'\n') ++i;
    }
    return l;
}

}  // namespace ce::ctl
