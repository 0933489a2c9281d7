// Comma-separated values as RFC 4180 has them: cells holding a comma, a double quote, a line
// break or blanks at either end are enclosed in double quotes, a double quote inside is doubled,
// lines end in CR LF. Reading also takes LF or CR alone as a line end. The same with a tab for
// the comma is what spreadsheets put on the clipboard.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv::csv {

// One cell as written, quoted where needed.
std::string Cell(std::string_view text, char separator = ',');
// A whole line: the cells joined by commas, ended by CR LF.
std::string Line(const std::vector<std::string>& cells);

struct Row {
    int number = 0;  // 1 for the first line of the text, as a spreadsheet counts rows
    int line = 0;    // the line of the text it starts on (a quoted line break makes them differ)
    std::vector<std::string> cells;
};

struct ParseError {
    int row = 0;
    std::string why;
};

struct Table {
    std::vector<Row> rows;  // every row, blank ones included (a blank row has one empty cell)
    std::vector<ParseError> errors;
};

// Splits the text into rows and cells. A cell opened by a double quote runs to the matching
// closing quote, line breaks included; text after a closing quote, or a quote never closed, is
// an error of that row. A double quote inside an unquoted cell is kept as it is. A line end at
// the very end of the text does not start another row.
Table Parse(std::string_view text, char separator = ',');
// The same without quoting: every line is one row and every separator ends a cell.
Table ParseUnquoted(std::string_view text, char separator);

}  // namespace orv::csv
