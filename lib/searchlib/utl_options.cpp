// Command-line pieces shared by the search programs: the getopt pass with its duplicate check, the
// required options, the file-name length check and the -S seed.
#include "quorvant/searchlib/utl_options.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/utl_arg.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned long long kSeedMax = 4294967295ULL;   // the seed is a 32-bit unsigned value

constexpr char kMsgDuplicated[] = " ## Error: Duplicated option: '%c'\n";
constexpr char kMsgNameTooLong[] =
    " ## Error: The file name of option -%c is too long (at most %d characters).\n";
constexpr char kMsgBadSeed[] =
    " ## Error: Invalid seed for option -S: '%s' (a whole number from 0 to 4294967295).\n";

// Restarts getopt's scanner, whatever an earlier scan left behind.
void restartGetopt() {
    opterr = 0;
#ifdef __GLIBC__
    optind = 0;   // glibc's full restart (it also forgets a half-scanned group of letters)
#else
    optind = 1;
#endif
}

}  // namespace

int ScanOptions(int argc, char **argv, const char *optString, const char *once, OptionLetters *seen,
                const OptionHandler &take) {
    seen->reset();
    std::vector<char *> copy(static_cast<size_t>(argc) + 1, nullptr);
    int result = CopyArgv(argc, argv, copy.data());
    if (result == 0) {
        restartGetopt();
        for (int c; (c = getopt(argc, copy.data(), optString)) != -1;) {
            if (c == '?' || c == ':') continue;   // unknown letter or missing argument
            if (c != '\0' && std::strchr(once, c) != nullptr) {
                if (seen->test(static_cast<size_t>(c))) {
                    log_sys(kMsgDuplicated, c);
                    result = -1;
                    break;
                }
                seen->set(static_cast<size_t>(c));
            }
            if (take(c, optarg) != 0) {
                result = -1;
                break;
            }
        }
    }
    optind = 1;
    FreeCargv(argc, copy.data());
    return result;
}

int CheckRequiredOptions(const OptionLetters &seen, std::initializer_list<RequiredOption> required) {
    for (const RequiredOption &r : required) {
        if (!seen.test(static_cast<unsigned char>(r.letter))) {
            log_sys("%s", r.missing);
            return -1;
        }
    }
    return 0;
}

int CheckOptionName(const char *name, char option, int maxChars) {
    if (std::strlen(name) > static_cast<size_t>(maxChars)) {
        log_sys(kMsgNameTooLong, option, maxChars);
        return -1;
    }
    return 0;
}

int ParseSeedOption(const char *text, unsigned long *seed) {
    // Digits only: strtoull would accept a sign or blanks and wrap a negative number.
    if (*text == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) {
        log_sys(kMsgBadSeed, text);
        return -1;
    }
    errno = 0;
    const unsigned long long v = std::strtoull(text, nullptr, 10);
    if (errno == ERANGE || v > kSeedMax) {
        log_sys(kMsgBadSeed, text);
        return -1;
    }
    *seed = static_cast<unsigned long>(v);
    return 0;
}
