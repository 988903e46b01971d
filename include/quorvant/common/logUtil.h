// System log and debug channel. Both write to standard output; messages carry their own newlines.
#ifndef QUORVANT_COMMON_LOGUTIL_H
#define QUORVANT_COMMON_LOGUTIL_H

#include <cstdint>

extern int32_t Dbg_Level;            // debug verbosity; -1 = debug channel off
extern const char *Dbg_filename;     // source file of the debug statement about to be written
extern int32_t Dbg_line;             // source line of that statement
int log_sysinit(int argc, char **argv);
int log_sys(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int log_sys_t(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void log_sysfinalize();
int log_dbginit(int argc, char **argv);
int log_dbg(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int log_dbg_l(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
int log_dbg_t(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void log_dbgfinalize();
const char *log_getCurrentTimeStr();
double log_getElapseTime();

// Debug statement: only reached when the level exceeds the threshold (and so the channel is open).
#define QV_DBG(threshold, ...)                         \
    do {                                               \
        if (Dbg_Level > (threshold)) {                 \
            Dbg_filename = __FILE__;                   \
            Dbg_line = __LINE__;                       \
            log_dbg_l(__VA_ARGS__);                    \
        }                                              \
    } while (0)

#endif
