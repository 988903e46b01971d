// The system log and the debug channel. Both write to standard output with a printf-style
// message; the facility adds at most a one-line prefix and never a newline of its own.
#include "quorvant/common/logUtil.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdarg>
#include <ctime>
#include <sys/time.h>

int32_t Dbg_Level = -1;
const char *Dbg_filename = nullptr;
int32_t Dbg_line = 0;

namespace {

FILE *Sys_fp = nullptr;
FILE *dbg_fp = nullptr;
struct timeval start_time = {0, 0};
char time_str[32];

// Base name of the program: the text after the last '/', or all of argv[0].
const char *baseName(int argc, char **argv) {
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) return "";
    const char *slash = std::strrchr(argv[0], '/');
    return slash ? slash + 1 : argv[0];
}

// Opens a channel: start line, then the shared clock if no channel started it yet.
int openChannel(FILE **fp, int argc, char **argv, const char *who) {
    *fp = stdout;
    std::fprintf(*fp, "%s : Start!! : %s\n", log_getCurrentTimeStr(), baseName(argc, argv));
    if (start_time.tv_sec == 0) {
        if (gettimeofday(&start_time, nullptr) != 0) {
            std::perror(who);
            return -1;
        }
    }
    return 0;
}

// A channel that was never opened writes to standard output, so that no message is lost.
FILE *sysStream() { return Sys_fp ? Sys_fp : stdout; }

// Reads a decimal integer as atoi does: leading blanks and a sign, digits up to the first other.
int32_t readLevel(const char *s) {
    return s ? static_cast<int32_t>(std::strtol(s, nullptr, 10)) : 0;
}

}  // namespace

int log_sysinit(int argc, char **argv) {
    return openChannel(&Sys_fp, argc, argv, "Error!! in log_sysinit");
}

int log_sys(const char *fmt, ...) {
    const int saved = errno;
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vfprintf(sysStream(), fmt, ap);
    va_end(ap);
    errno = saved;
    return n;
}

int log_sys_t(const char *fmt, ...) {
    const int saved = errno;
    FILE *fp = sysStream();
    std::fprintf(fp, "%s ===> time:%10.6f ===> ", log_getCurrentTimeStr(), log_getElapseTime());
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vfprintf(fp, fmt, ap);
    va_end(ap);
    errno = saved;
    return n;
}

void log_sysfinalize() {
    // The channel holds standard output: flush it and close the channel; the process's stdout
    // stays usable for the MPI library's own last words.
    if (Sys_fp) std::fflush(Sys_fp);
    Sys_fp = nullptr;
}

int log_dbginit(int argc, char **argv) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        if (std::strncmp(argv[i], "-d", 2) != 0) continue;
        if (argv[i][2] == '\0') {
            Dbg_Level = readLevel(argv[i + 1]);   // argv[argc] is null: level 0
        } else {
            Dbg_Level = readLevel(argv[i] + 2);
        }
    }
    return openChannel(&dbg_fp, argc, argv, "Error!! in log_dbginit");
}

int log_dbg(const char *fmt, ...) {
    if (!dbg_fp) return 0;
    const int saved = errno;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(dbg_fp, fmt, ap);
    va_end(ap);
    errno = saved;
    return 0;
}

int log_dbg_l(const char *fmt, ...) {
    if (!dbg_fp) return 0;
    const int saved = errno;
    std::fprintf(dbg_fp, "%-16s %4d : ", Dbg_filename ? Dbg_filename : "", Dbg_line);
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(dbg_fp, fmt, ap);
    va_end(ap);
    errno = saved;
    return 0;
}

int log_dbg_t(const char *fmt, ...) {
    if (!dbg_fp) return 0;
    const int saved = errno;
    std::fprintf(dbg_fp, "%s ===> time:%10.6f ===> ", log_getCurrentTimeStr(), log_getElapseTime());
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(dbg_fp, fmt, ap);
    va_end(ap);
    errno = saved;
    return 0;
}

void log_dbgfinalize() {
    if (dbg_fp) std::fflush(dbg_fp);
    dbg_fp = nullptr;
}

const char *log_getCurrentTimeStr() {
    const int saved = errno;
    time_t now = std::time(nullptr);
    struct tm tmv;
    char buf[64];
    if (localtime_r(&now, &tmv) != nullptr && asctime_r(&tmv, buf) != nullptr) {
        size_t len = std::strlen(buf);
        if (len > 0 && buf[len - 1] == '\n') buf[--len] = '\0';   // drop ctime's trailing newline
        if (len >= sizeof time_str) len = sizeof time_str - 1;
        std::memcpy(time_str, buf, len);
        time_str[len] = '\0';
    } else {
        time_str[0] = '\0';
    }
    errno = saved;
    return time_str;
}

double log_getElapseTime() {
    struct timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_usec - start_time.tv_usec) / 1000000.0 +
           static_cast<double>(now.tv_sec - start_time.tv_sec);
}
