#include "report/csv.h"

namespace orv::csv {

std::string Cell(std::string_view text, char separator) {
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    const bool quote = text.find_first_of(special) != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string Line(const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        if (k) out += ',';
        out += Cell(cells[k]);
    }
    return out + "\r\n";
}

Table Parse(std::string_view text, char separator) {
    Table table;
    const std::size_t n = text.size();
    std::size_t i = 0;
    auto atLineEnd = [&] { return i >= n || text[i] == '\r' || text[i] == '\n'; };
    int number = 0;
    int line = 1;
    std::size_t counted = 0;  // the line ends before this are counted in line
    while (i < n) {
        // CR LF, LF and CR alone each end one line (i < n: a CR here has a next byte).
        for (; counted < i; ++counted)
            if (text[counted] == '\n' || (text[counted] == '\r' && text[counted + 1] != '\n'))
                ++line;
        Row row;
        row.number = ++number;
        row.line = line;
        for (;;) {
            std::string cell;
            if (i < n && text[i] == '"') {
                ++i;
                bool closed = false;
                while (i < n) {
                    if (text[i] == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            cell += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    cell += text[i++];
                }
                if (!closed) {
                    table.errors.push_back(
                        {row.number, "cell " + std::to_string(row.cells.size() + 1) +
                                         " opens a double quote that is never closed"});
                } else if (!atLineEnd() && text[i] != separator) {
                    table.errors.push_back(
                        {row.number, "cell " + std::to_string(row.cells.size() + 1) +
                                         " has text after its closing double quote (a double "
                                         "quote inside a quoted cell is written twice: \"\")"});
                    while (!atLineEnd() && text[i] != separator) cell += text[i++];
                }
            } else {
                while (!atLineEnd() && text[i] != separator) cell += text[i++];
            }
            row.cells.push_back(std::move(cell));
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            break;
        }
        if (i < n && text[i] == '\r') ++i;
        if (i < n && text[i] == '\n') ++i;
        table.rows.push_back(std::move(row));
    }
    return table;
}

Table ParseUnquoted(std::string_view text, char separator) {
    Table table;
    std::size_t i = 0;
    int number = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = text.size();
        Row row;
        row.number = row.line = ++number;
        const std::string_view line = text.substr(i, end - i);
        std::size_t from = 0;
        for (;;) {
            const std::size_t at = line.find(separator, from);
            row.cells.emplace_back(
                line.substr(from, at == std::string_view::npos ? at : at - from));
            if (at == std::string_view::npos) break;
            from = at + 1;
        }
        table.rows.push_back(std::move(row));
        i = end;
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
    return table;
}

}  // namespace orv::csv
