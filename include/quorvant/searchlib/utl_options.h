// Command-line pieces shared by the search programs (gasearch, rsearch): one getopt pass that refuses
// an option given twice, the required options, the length of file names and the -S seed.
#ifndef QUORVANT_SEARCHLIB_UTL_OPTIONS_H
#define QUORVANT_SEARCHLIB_UTL_OPTIONS_H

#include <bitset>
#include <functional>
#include <initializer_list>

// The option letters a scan met, indexed by the letter.
using OptionLetters = std::bitset<128>;

// Takes one option letter and its argument: 0, or -1 after the message.
using OptionHandler = std::function<int(int letter, const char *arg)>;

// Runs getopt(argc, argv, optString) from the start over a deep copy of argv, so that the
// caller's vector keeps its order (getopt permutes the vector it scans), with getopt's own
// messages off. Unknown letters and options missing their argument are passed over. A letter of
// `once` met a second time is refused with " ## Error: Duplicated option: '<letter>'". Every
// other option goes to take, in command-line order; the scan stops at the first -1. `seen` is
// cleared, then marks the letters of `once` that were met. 0, or -1 after the message.
int ScanOptions(int argc, char **argv, const char *optString, const char *once, OptionLetters *seen,
                const OptionHandler &take);

// A letter the command line must give, and the message when it does not.
struct RequiredOption {
    char letter;
    const char *missing;
};

// 0 if `seen` holds every letter of `required`; otherwise -1 after the message of the first one
// missing, in table order.
int CheckRequiredOptions(const OptionLetters &seen, std::initializer_list<RequiredOption> required);

// 0 if `name` has at most maxChars characters; otherwise -1 after
// " ## Error: The file name of option -<option> is too long (at most <maxChars> characters)."
int CheckOptionName(const char *name, char option, int maxChars);

// The seed of -S: decimal digits only, from 0 to 4294967295 (no sign, no blanks). 0, or -1 after
// " ## Error: Invalid seed for option -S: '<text>' (a whole number from 0 to 4294967295)."
int ParseSeedOption(const char *text, unsigned long *seed);

#endif
