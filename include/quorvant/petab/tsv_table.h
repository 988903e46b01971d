// Tab-separated tables as the estimation-problem files hold them: a header of column names and
// rows of text cells, each row remembering its line in the file for messages.
#ifndef QUORVANT_PETAB_TSV_TABLE_H
#define QUORVANT_PETAB_TSV_TABLE_H

#include <string>
#include <string_view>
#include <vector>

namespace qv::petab {

struct TsvTable {
    std::string path;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;  // every row has columns.size() cells
    std::vector<int> lines;                      // file line (1-based) of each row
    int header_line = 1;                         // file line of the header
    int column_offset = 0;                       // 1 when a leading unnamed index column was dropped

    // Index of the named column, -1 if the table has none.
    int column(std::string_view name) const;
    // "PATH:LINE:COLUMN: " of a cell; COLUMN is the 1-based field of the file.
    std::string where(size_t row, int col) const;
    // "PATH:LINE:COLUMN: " of a header cell.
    std::string where_header(int col) const;
    // "PATH:LINE: " of a row.
    std::string where_row(size_t row) const;
};

// Reads and splits the file. Returns "" on success, else a message naming the place.
// Accepts a UTF-8 byte-order mark, CRLF line ends, blank lines (skipped), trailing tabs and short
// rows (missing cells are empty); trims blanks around cells; drops a leading column whose header
// cell is empty (a written-out row index). Refuses an empty file, NUL bytes, duplicate or empty
// column names and rows with more cells than the header.
std::string read_tsv(const std::string &path, TsvTable &out);
std::string parse_tsv(std::string_view text, const std::string &path, TsvTable &out);

// A decimal number with optional sign, fraction and exponent, or inf / -inf / nan in any case.
// No hexadecimal, no surrounding blanks, no trailing characters; an empty cell is refused.
// Returns "" on success, else a message that quotes the cell.
std::string parse_number(std::string_view cell, double &out);

// [A-Za-z_][A-Za-z0-9_]*
bool is_identifier(std::string_view s);

}  // namespace qv::petab

#endif
