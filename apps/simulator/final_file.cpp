// The final result file of the simulator, made by rank 0 from the per-rank result files.
//
// No shell is involved: file names with blanks or shell characters are plain names here. The
// joined file is written under a temporary name next to the result and renamed over it only when
// complete, so a failed join never leaves a partial file that looks like a result.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "quorvant/common/file_owner.h"
#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "simulator.h"

namespace {

// Lines of a per-rank file from this marker on are its ending, not results.
constexpr const char *kEndMarker = "$$ END";
constexpr size_t kEndMarkerCompared = 5;

using qv::File;

File openFile(const std::string &name, const char *mode) {
    File fp(std::fopen(name.c_str(), mode));
    if (!fp) log_sys("Cannot open %s!!\n", name.c_str());
    return fp;
}

// A rank's result file for reading; only a regular file (a device such as /dev/zero would never
// end).
File openRankFile(const std::string &name) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        log_sys("Cannot open %s!!\n", name.c_str());
        return File(nullptr);
    }
    return openFile(name, "r");
}

// Copies the lines of `in` up to its ending marker (or its end), optionally without its first
// line. Lines are read in pieces of at most 511 characters; only the start of a line is tested.
bool copyBody(FILE *in, FILE *out, bool skipFirstLine) {
    char buf[qv::kLineLen];
    bool atLineStart = true;
    bool skipping = skipFirstLine;
    while (std::fgets(buf, sizeof buf, in)) {
        const size_t len = std::strlen(buf);
        const bool endsLine = len > 0 && buf[len - 1] == '\n';
        if (skipping) {
            skipping = !endsLine;
            atLineStart = endsLine;
            continue;
        }
        if (atLineStart && std::strncmp(buf, kEndMarker, kEndMarkerCompared) == 0) break;
        if (std::fputs(buf, out) < 0) break;   // a write error: stop reading
        atLineStart = endsLine;
    }
    return !std::ferror(in) && !std::ferror(out);
}

// A temporary file in the directory of `target`, with the permissions a new file would get.
File createTemporary(const std::string &target, std::string &tmpName) {
    std::vector<char> name(target.begin(), target.end());
    for (char c : std::string(".XXXXXX")) name.push_back(c);
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        log_sys("Cannot open %s!!\n", target.c_str());
        return File();
    }
    tmpName = name.data();
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    File fp(fdopen(fd, "w"));
    if (!fp) {
        close(fd);
        unlink(tmpName.c_str());
        log_sys("Cannot open %s!!\n", target.c_str());
    }
    return fp;
}

// Finishes a temporary file and renames it to target; removes it on any failure.
int commitTemporary(File fp, const std::string &tmpName, const std::string &target) {
    const bool written = !std::ferror(fp.get()) && std::fclose(fp.release()) == 0;
    if (!written || std::rename(tmpName.c_str(), target.c_str()) != 0) {
        log_sys("Cannot write %s!!\n", target.c_str());
        unlink(tmpName.c_str());
        return -1;
    }
    return 0;
}

// Copies a whole file to target (through a temporary file), for a move across file systems.
int copyFile(const std::string &from, const std::string &target) {
    File in = openFile(from, "r");
    if (!in) return -1;
    std::string tmpName;
    File out = createTemporary(target, tmpName);
    if (!out) return -1;
    char buf[1 << 15];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in.get())) > 0) std::fwrite(buf, 1, n, out.get());
    if (std::ferror(in.get())) {
        out.reset();
        unlink(tmpName.c_str());
        log_sys("Cannot read %s!!\n", from.c_str());
        return -1;
    }
    return commitTemporary(std::move(out), tmpName, target);
}

// Moves rank 0's file to the result name (replacing an older result).
int moveRankFile(const std::string &output) {
    const std::string from = rankFileName(output, 0);
    if (std::rename(from.c_str(), output.c_str()) == 0) return 0;
    if (errno == EXDEV && copyFile(from, output) == 0) {
        unlink(from.c_str());
        return 0;
    }
    log_sys("Cannot move %s to %s!!\n", from.c_str(), output.c_str());
    return -1;
}

// Joins the per-rank files in rank order: rank 0's whole body, then each other rank's body
// without its first line (its CPU line), then the closing line.
int joinRankFiles(int nprocs, const std::string &output) {
    File first = openRankFile(rankFileName(output, 0));
    if (!first) return -1;
    std::string tmpName;
    File out = createTemporary(output, tmpName);
    if (!out) return -1;
    bool opened = true;
    bool ok = copyBody(first.get(), out.get(), false);
    for (int k = 1; ok && k < nprocs; ++k) {
        File in = openRankFile(rankFileName(output, k));
        opened = static_cast<bool>(in);
        ok = opened && copyBody(in.get(), out.get(), true);
    }
    if (!ok) {
        out.reset();
        unlink(tmpName.c_str());
        if (opened) log_sys("Cannot write %s!!\n", output.c_str());
        return -1;
    }
    std::fputs("\n$$ END ALL!!\n", out.get());
    return commitTemporary(std::move(out), tmpName, output);
}

}  // namespace

int makeFinalFile(int nprocs, bool split, const std::string &output) {
    if (nprocs > 1 && !split) return moveRankFile(output);
    return joinRankFiles(nprocs, output);
}
