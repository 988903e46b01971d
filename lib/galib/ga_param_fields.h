// The fields of each keyword line of the GA parameter file, as tables the one reader of
// ga_param.cpp walks. A line is "KEYWORD;type;field;field;...;": its type word selects a variant,
// and the variant lists the fields that follow, the fields the line needs at least and the warning
// for a field beyond its last one. The tables themselves are in ga_param_fields.cpp.
#ifndef QUORVANT_GA_PARAM_FIELDS_H
#define QUORVANT_GA_PARAM_FIELDS_H

#include <cstdint>
#include <span>

#include "ga_keywords.h"
#include "quorvant/galib/ga_types.h"

namespace qv::ga {

// Quantities that depend on the configuration read so far.
enum class Value {
    Fixed,               // the constant given with it
    NumVariable,
    PopulationFloor,     // numVariable + 2
    IslandPopulation,
    StayingPopulation,   // islandPopulation - numImmigrants
    GeneLength,
    MggChildren,         // islandPopulation, at most kGaMaxMggChildren
    SpxEpsilon,          // sqrt(numVariable + 2)
    OnePerGene,          // 1 / geneLength: one mutated gene per individual on average
    UndxmDirections,     // numVariable - 2, at least 1
};

// A default or a bound: a constant or one of the quantities above.
struct Amount {
    Value value = Value::Fixed;
    double fixed = 0.0;
    constexpr Amount() = default;
    constexpr Amount(double v) : fixed(v) {}
    constexpr Amount(Value v) : value(v) {}
};

// A condition a value read from the file must meet, else its message, printed with the bound as
// "%d" where the message has one. Ranges hold what is accepted, so NaN fails them all.
enum class Rule {
    None,
    AtLeast,
    AtMost,
    Below,
    Positive,
    Fraction,         // in [0, 1]
    NotOnOneIsland,   // a word whose code (the bound) cannot be used with a single island
};
struct Check {
    Rule rule = Rule::None;
    Amount bound;
    const char *message = nullptr;
};

// A code of the line's selector word with which a field is not taken, and the warning for a field
// given there anyway (the rest of the line is then ignored).
struct Absent {
    int code = 0;
    const char *message = nullptr;
};

// One field after the type word, stored in a member of the line's record R.
enum class Kind { Int, Real, Word };
template <class R> struct FieldDef {
    Kind kind = Kind::Int;
    int32_t R::*integer = nullptr;           // Int
    double R::*real = nullptr;               // Real
    Field words = Field::Encode;             // Word: its entries in the keyword table
    void (*setCode)(R &, int) = nullptr;     // Word
    const char *unknown = nullptr;           // Word: message for a word not in the table ("%s")
    Amount empty;                            // value (Word: code) of an empty field
    Check checks[3] = {};                    // in this order, for a value read (never a default)
    Absent absent[2] = {};
    int (*then)(R &) = nullptr;              // once the field is set (read or default); 0 or -1

    constexpr FieldDef absent_when(auto code, const char *message) const {
        FieldDef f = *this;
        f.absent[f.absent[0].message != nullptr ? 1 : 0] = {static_cast<int>(code), message};
        return f;
    }
    constexpr FieldDef and_then(int (*step)(R &)) const {
        FieldDef f = *this;
        f.then = step;
        return f;
    }
};

// The least number of fields of a line, the type word included, with its message: always, only
// when the selector has the code, or unless it has it.
enum class When { Always, If, Unless };
struct Need {
    int fields = 0;
    const char *message = nullptr;
    When when = When::Always;
    int code = 0;
};

// The fields after one type word.
template <class R> struct Variant {
    int code;                            // of the type word
    std::span<const FieldDef<R>> fields;
    const char *redundant;               // warning for a field after the last one
    Need needs[2] = {};
};

// One keyword line.
template <class R> struct LineDef {
    Field types;                         // the type words in the keyword table
    void (*setType)(R &, int);
    const char *missing;                 // no type field at all
    const char *empty;                   // an empty type field
    const char *unknown;                 // a type word not in the table ("%s")
    std::span<const Variant<R>> variants;
    int (*selector)(const R &) = nullptr;   // the code Absent and Need refer to
    const char *forRga = nullptr;        // "%s": an operator of real-coded genes with bit strings
    const char *forBga = nullptr;        // "%s": an operator of bit strings with real-coded genes
};

extern const LineDef<gaencodeparam> kEncodeLine;
extern const LineDef<gatypeparam> kGaTypeLine;
extern const LineDef<digenesisparam> kDigenesisLine;
extern const LineDef<crossoverparam> kCrossoverLine;
extern const LineDef<mutationparam> kMutationLine;
extern const LineDef<parallelparam> kParallelLine;

// REFINE;interval;count;budget;spread; has no type word: its fields follow the keyword.
extern const std::span<const FieldDef<refineparam>> kRefineFields;
extern const char *const kMsgRedundantRefine;

// CHECKPOINT;file;interval;: the fields after the file name.
extern const std::span<const FieldDef<checkpointparam>> kCheckpointFields;
extern const char *const kMsgRedundantCheckpoint;

}  // namespace qv::ga

#endif
