// Small helpers the pictures share: labels and rows of the data blocks, the selected variables, the
// picture's title.
#ifndef QUORVANT_RESULTS_PLOT_PARTS_H
#define QUORVANT_RESULTS_PLOT_PARTS_H

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "quorvant/common/file_owner.h"

namespace qv::results::plot {

// A name inside a data block's double quotes.
std::string data_label(std::string s);
// A temporary file for a data block (null when none can be made).
File temp_data();
void print_row(std::FILE *f, std::initializer_list<double> values);
// The selected 0-based columns of n, or the usage message.
std::string select_vars(const std::vector<int> &wanted, size_t n, std::vector<size_t> &sel);

// The picture's title: the file's name without its directory.
std::string base_name(const std::string &path);

}  // namespace qv::results::plot

#endif
