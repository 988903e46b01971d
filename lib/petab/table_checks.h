// Shared pieces of the table readers: message building, required columns, identifier and list
// cells. Internal to the library.
#ifndef QUORVANT_PETAB_TABLE_CHECKS_H
#define QUORVANT_PETAB_TABLE_CHECKS_H

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "quorvant/petab/tsv_table.h"

namespace qv::petab::detail {

// Concatenates the pieces by appending (no temporaries of "literal" + string).
template <class... Parts>
std::string cat(const Parts &...parts) {
    std::string s;
    (s.append(std::string_view(parts)), ...);
    return s;
}

// "" or "PATH:LINE: table lacks the required column 'NAME'" for the first absent one.
std::string require_columns(const TsvTable &t, std::initializer_list<std::string_view> names);

// The cell, or "" when the column is absent (col < 0).
inline const std::string &cell(const TsvTable &t, size_t row, int col) {
    static const std::string kEmpty;
    return col < 0 ? kEmpty : t.rows[row][static_cast<size_t>(col)];
}

// Words that version 2 reserves (true, false, inf, nan, time and the math function names), any case.
bool is_reserved(std::string_view id);

// "" if the cell is a valid id for this version; else a message "WHERE: WHAT 'CELL' is not a valid
// identifier" (or "... is empty", "... is a reserved word").
std::string check_id(const TsvTable &t, size_t row, int col, int version, std::string_view what);

// The semicolon-separated items of a cell, trimmed; an empty cell gives none.
std::vector<std::string> split_list(std::string_view cell);

// A number cell that must be present; "" or the message with its place.
std::string number_cell(const TsvTable &t, size_t row, int col, std::string_view what, double &out);

std::string_view trim(std::string_view s);

}  // namespace qv::petab::detail

#endif
