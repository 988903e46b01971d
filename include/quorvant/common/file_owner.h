// Ownership of a C stdio stream: the stream is closed when its owner goes out of scope, on every
// path. Every reader and writer of the project holds its files this way.
#ifndef QUORVANT_COMMON_FILE_OWNER_H
#define QUORVANT_COMMON_FILE_OWNER_H

#include <cstdio>
#include <memory>

namespace qv {

struct FileCloser {
    void operator()(std::FILE *fp) const noexcept {
        if (fp) std::fclose(fp);
    }
};

// An open stream or null; release() hands the stream to a caller that closes it itself.
using File = std::unique_ptr<std::FILE, FileCloser>;

inline File open_file(const char *name, const char *mode) { return File(std::fopen(name, mode)); }

}  // namespace qv

#endif
