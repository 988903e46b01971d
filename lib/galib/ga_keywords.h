// The one table between the words of the GA parameter file, the codes of the configuration record
// and the texts of the parameter summary. The reader looks a word up here and the summary prints the
// text of a code from here, so the two can never disagree.
#ifndef QUORVANT_GA_KEYWORDS_H
#define QUORVANT_GA_KEYWORDS_H

namespace qv::ga {

// The configuration fields whose values are words in the parameter file.
enum class Field { Encode, GaType, Immigration, Digenesis, Selection, Crossover, Mutation, Parallel };

// The gene encodings an operator works with.
enum class Genes { Any, Real, Bits };

struct Keyword {
    Field field;
    int code;             // value stored in the record (the enum classes of ga_types.h)
    const char *word;     // word in the parameter file
    const char *alias;    // second word with the same meaning, or null
    const char *text;     // text in the parameter summary
    Genes genes;          // crossovers and mutations: the encodings they work on
};

// clang-format off
inline constexpr Keyword kKeywords[] = {
    {Field::Encode,      1, "REAL",           nullptr, "Real-coded",                Genes::Any},
    {Field::Encode,      2, "BINARY",         nullptr, "Bit-string(Binary coding)", Genes::Any},
    {Field::Encode,      3, "GRAY",           nullptr, "Bit-string(Gray coding)",   Genes::Any},
    {Field::GaType,      1, "DGA",            nullptr, "DGA",                       Genes::Any},
    {Field::GaType,      2, "DIGA",           nullptr, "DIGA",                      Genes::Any},
    {Field::Immigration, 1, "RandomSwap",     "ON",    "Random Swap",               Genes::Any},
    {Field::Immigration, 2, "RandomRing",     nullptr, "Random Ring",               Genes::Any},
    {Field::Immigration, 3, "OFF",            nullptr, "OFF",                       Genes::Any},
    {Field::Digenesis,   1, "NORMAL",         nullptr, "NORMAL",                    Genes::Any},
    {Field::Digenesis,   2, "MGG",            nullptr, "MGG",                       Genes::Any},
    {Field::Selection,   1, "Roulette",       nullptr, "Roulette",                  Genes::Any},
    {Field::Selection,   2, "Tournament",     nullptr, "Tournament",                Genes::Any},
    {Field::Selection,   3, "Random",         nullptr, "Random",                    Genes::Any},
    {Field::Crossover,   1, "BLX",            nullptr, "BLX",                       Genes::Real},
    {Field::Crossover,   2, "UNDX",           nullptr, "UNDX",                      Genes::Real},
    {Field::Crossover,   3, "UNDXm",          nullptr, "UNDXm",                     Genes::Real},
    {Field::Crossover,   4, "SPX",            nullptr, "SPX",                       Genes::Real},
    {Field::Crossover,   5, "NPOINTS",        nullptr, "N points crossover",        Genes::Bits},
    {Field::Crossover,   6, "NONE",           nullptr, "None",                      Genes::Any},
    {Field::Mutation,    1, "RegionUni",      nullptr, "RegionUni",                 Genes::Real},
    {Field::Mutation,    2, "FixedUni",       nullptr, "FixedUni",                  Genes::Real},
    {Field::Mutation,    3, "FixedNormal",    nullptr, "FixedNormal",               Genes::Real},
    {Field::Mutation,    4, "VariableUni",    nullptr, "VariableUni",               Genes::Real},
    {Field::Mutation,    5, "VariableNormal", nullptr, "VariableNoraml",            Genes::Real},
    {Field::Mutation,    6, "BitReverse",     nullptr, "BitReverse",                Genes::Bits},
    {Field::Mutation,    7, "NONE",           nullptr, "None",                      Genes::Any},
    {Field::Parallel,    1, "ISLAND",         nullptr, "Island",                    Genes::Any},
    {Field::Parallel,    2, "INDIVIDUAL",     nullptr, "Individual",                Genes::Any},
};
// clang-format on

// The entry of a file word (exact, case-sensitive match of the word or its alias); null if the
// field has no such word.
const Keyword *find_keyword(Field field, const char *word);
// The entry of a code; null if the field has no such code (0, "not given", has none).
const Keyword *find_code(Field field, int code);
// The summary text of a code; "" for a code without an entry.
const char *code_text(Field field, int code);

}  // namespace qv::ga

#endif
