// Reading and writing whole files in tests, and splitting text into lines.
#ifndef QUORVANT_TEST_TEXT_FILES_H
#define QUORVANT_TEST_TEXT_FILES_H

#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

// The file's bytes as they are; empty when it cannot be read.
std::string read_file(const std::filesystem::path &path);
// Replaces the file with exactly these bytes.
void write_file(const std::filesystem::path &path, const std::string &text);
// The lines of text without their '\n'; a last line without one counts, a final '\n' adds none.
std::vector<std::string> split_lines(const std::string &text);

}  // namespace qv::test

#endif
