// The GA configuration record: its defaults, the command-line record and the GA parameter file.
//
// The parameter file holds one keyword per line (ENCODE first, then GATYPE, then DIGENESIS,
// CROSSOVER and MUTATION in any order), each followed by its fields. Blanks and tabs are removed and
// '#' starts a comment; every piece of a line is ended by a ';', so text after the last ';' is never
// read. An empty field selects the field's default; a non-empty one is converted as the C
// conversions "%d" / "%lf" read it, and text that does not convert leaves the field at its previous
// value, to which the field's checks then apply (a default is never checked). Fields beyond those a
// keyword takes are reported by a warning and the rest of the line is ignored. The first failing
// line ends the reading.
//
// The first field of every line is a type word; each type word has its own list of further fields,
// the fields it needs at least and the warning for fields beyond its last one. These lists are the
// tables below (one section per keyword); a single reader, read_line, walks them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "ga_keywords.h"
#include "quorvant/common/file_owner.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/mutation.h"
#include "quorvant/galib/utl_text.h"

namespace {

using qv::ga::Field;
using qv::ga::Genes;
using qv::ga::Keyword;
using qv::ga::find_keyword;

constexpr int kPopulationAboveVariables = 2;       // islandPopulation >= numVariable + 2
constexpr double kSpxEpsilonOffset = 2.0;          // SPX: epsilon defaults to sqrt(numVariable + 2)
constexpr int kUndxmDirectionsBelowN = 2;          // UNDXm: m defaults to numVariable - 2 (>= 1)
constexpr int kBlxParents = 2;
constexpr int kUndxParents = 3;                    // UNDX: one primary direction, m = 1
constexpr int kUndxmExtraParents = 2;              // UNDXm: m + 2
constexpr int kNPointsParents = 2;

// ---- The tables' vocabulary ----------------------------------------------------------------------

// The records the defaults and checks of a line refer to (type is null before GATYPE is read; for
// the GATYPE line itself it is the record being filled, so later fields see the earlier ones).
struct Context {
    const gaencodeparam *encode;
    const gatypeparam *type;
};

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

double amount(Amount a, const Context &c) {
    switch (a.value) {
    case Value::Fixed: return a.fixed;
    case Value::NumVariable: return c.encode->numVariable;
    case Value::PopulationFloor: return c.encode->numVariable + kPopulationAboveVariables;
    case Value::IslandPopulation: return c.type->islandPopulation;
    case Value::StayingPopulation: return c.type->islandPopulation - c.type->numImmigrants;
    case Value::GeneLength: return c.encode->geneLength;
    case Value::MggChildren: return std::min(c.type->islandPopulation, qv::kGaMaxMggChildren);
    case Value::SpxEpsilon: return std::sqrt(c.encode->numVariable + kSpxEpsilonOffset);
    case Value::OnePerGene: return c.encode->geneLength > 0 ? 1.0 / c.encode->geneLength : 0.0;
    case Value::UndxmDirections:
        return std::max(c.encode->numVariable - kUndxmDirectionsBelowN, 1);
    }
    return 0.0;
}

// A condition a read value must meet, else its message (printed with the bound as "%d" where the
// message has one). The ranges are written as what is accepted, so NaN fails them all.
enum class Rule { None, AtLeast, AtMost, Below, Positive, Fraction, NotOnOneIsland };
struct Check {
    Rule rule = Rule::None;
    Amount bound;
    const char *message = nullptr;
};
constexpr Check at_least(Amount b, const char *m) { return {Rule::AtLeast, b, m}; }
constexpr Check at_most(Amount b, const char *m) { return {Rule::AtMost, b, m}; }
constexpr Check below(Amount b, const char *m) { return {Rule::Below, b, m}; }
constexpr Check positive(const char *m) { return {Rule::Positive, {}, m}; }
constexpr Check fraction(const char *m) { return {Rule::Fraction, {}, m}; }   // in [0, 1]
// A word whose code cannot be used with a single island.
template <class E> constexpr Check not_on_one_island(E code, const char *m) {
    return {Rule::NotOnOneIsland, static_cast<double>(code), m};
}

bool passes(Rule rule, double v, double bound, const Context &c) {
    switch (rule) {
    case Rule::None: return true;
    case Rule::AtLeast: return v >= bound;
    case Rule::AtMost: return v <= bound;
    case Rule::Below: return v < bound;
    case Rule::Positive: return v > 0.0;
    case Rule::Fraction: return v >= 0.0 && v <= 1.0;
    case Rule::NotOnOneIsland: return !(c.type->numIsland == 1 && v == bound);
    }
    return true;
}

// Reading and writing a code member (an enum class) of a record as the int of the keyword table.
template <auto Member> struct Code;
template <class R, class E, E R::*Member> struct Code<Member> {
    using Record = R;
    static void set(R &r, int code) { r.*Member = static_cast<E>(code); }
    static int get(const R &r) { return static_cast<int>(r.*Member); }
};

// A code of the selector word of a line before which a field is not taken, with the warning for
// a field given there anyway.
struct Absent {
    int code = 0;
    const char *message = nullptr;
};

// One field after the type word, stored in a member of the line's record R.
enum class Kind { Int, Real, Word };
template <class R> struct FieldSpec {
    Kind kind = Kind::Int;
    int32_t R::*integer = nullptr;           // Int
    double R::*real = nullptr;               // Real
    Field words = Field::Encode;             // Word: its entries in the keyword table
    void (*setCode)(R &, int) = nullptr;     // Word
    const char *unknown = nullptr;           // Word: message for a word not in the table ("%s")
    Amount empty;                            // value (Word: code) of an empty field
    Check checks[3] = {};                    // in this order, for a value read
    Absent absent[2] = {};
    int (*then)(R &) = nullptr;              // after the field is set (read or default)

    constexpr FieldSpec absent_when(auto code, const char *message) const {
        FieldSpec f = *this;
        f.absent[f.absent[0].message != nullptr ? 1 : 0] = {static_cast<int>(code), message};
        return f;
    }
    constexpr FieldSpec and_then(int (*step)(R &)) const {
        FieldSpec f = *this;
        f.then = step;
        return f;
    }
};

template <class R, class... C>
constexpr FieldSpec<R> int_field(int32_t R::*member, Amount empty, C... checks) {
    return {.kind = Kind::Int, .integer = member, .empty = empty, .checks = {checks...}};
}
template <class R, class... C>
constexpr FieldSpec<R> real_field(double R::*member, Amount empty, C... checks) {
    return {.kind = Kind::Real, .real = member, .empty = empty, .checks = {checks...}};
}
template <auto Member, class E, class... C>
constexpr FieldSpec<typename Code<Member>::Record> word_field(Field words, E empty,
                                                              const char *unknown, C... checks) {
    return {.kind = Kind::Word, .words = words, .setCode = Code<Member>::set, .unknown = unknown,
            .empty = static_cast<double>(empty), .checks = {checks...}};
}

// The least number of fields of a line (the type word included), and its message; applies always,
// only when the selector has a code, or unless it has it.
enum class When { Always, If, Unless };
struct Need {
    int fields = 0;
    const char *message = nullptr;
    When when = When::Always;
    int code = 0;
};
constexpr Need need(int fields, const char *m) { return {fields, m}; }
template <class E> constexpr Need need_if(E code, int fields, const char *m) {
    return {fields, m, When::If, static_cast<int>(code)};
}
template <class E> constexpr Need need_unless(E code, int fields, const char *m) {
    return {fields, m, When::Unless, static_cast<int>(code)};
}

// The fields after one type word.
template <class R> struct Variant {
    int code;                            // of the type word
    std::span<const FieldSpec<R>> fields;
    const char *redundant;               // warning for a field after the last one
    Need needs[2] = {};
};

// One keyword line.
template <class R> struct LineSpec {
    Field types;                         // the type words in the keyword table
    void (*setType)(R &, int);
    int (*selector)(const R &);          // the code Absent and Need refer to, or null
    const char *missing;                 // no type field at all
    const char *empty;                   // an empty type field
    const char *unknown;                 // a type word not in the table ("%s")
    const char *forRga;                  // "%s": an operator of real-coded genes with bit strings
    const char *forBga;                  // "%s": an operator of bit strings with real-coded genes
    std::span<const Variant<R>> variants;
};

template <class E> constexpr int code(E e) { return static_cast<int>(e); }

// Every type word of the keyword table has its variant.
template <class R> constexpr bool has_every_variant(const LineSpec<R> &line) {
    for (const Keyword &k : qv::ga::kKeywords) {
        if (k.field != line.types) continue;
        if (std::none_of(line.variants.begin(), line.variants.end(),
                         [&](const Variant<R> &v) { return v.code == k.code; })) {
            return false;
        }
    }
    return true;
}

// ---- ENCODE;type;quantumNumber; ------------------------------------------------------------------

constexpr char kMsgNoEncode[] = " ## Error: No selected choice: ENCODE\n";
constexpr char kMsgUnknownEncode[] = " ## Error: Unknown encode type:%s\n";
constexpr char kMsgQuantum[] = " ## Error: Quantum number must be a positive interger.\n";
constexpr char kMsgQuantumTooLarge[] = " ## Error: Quantum number must be smaller than equal %d.\n";
constexpr char kMsgRedundantRga[] = " ## Warning: Redundant parameters for RGA.\n";
constexpr char kMsgRedundantBga[] = " ## Warning: Redundant parameters for BGA.\n";
constexpr char kMsgShortBga[] = " ## Error: Shortage of parameters for BGA.\n";
constexpr char kMsgGeneLength[] =
    " ## Error: BGA's gene length(numVariable * quantumNumber must be smaller than equal %d.\n";

// A grid index is an int: more bits per variable than its decoders take are refused here, before
// the run starts, not at the first decode.
constexpr int kDefaultQuantumNumber = 10;
static_assert(kDefaultQuantumNumber <= qv::kGaMaxQuantum, "the default meets the checks");
constexpr auto kQuantumNumber =
    int_field(&gaencodeparam::quantumNumber, kDefaultQuantumNumber, at_least(1, kMsgQuantum),
              at_most(qv::kGaMaxQuantum, kMsgQuantumTooLarge));

constexpr FieldSpec<gaencodeparam> kBitStringFields[] = {kQuantumNumber};
constexpr Variant<gaencodeparam> kEncodings[] = {
    {code(EncodeType::Real), {}, kMsgRedundantRga},
    {code(EncodeType::Binary), kBitStringFields, kMsgRedundantBga, {need(2, kMsgShortBga)}},
    {code(EncodeType::Gray), kBitStringFields, kMsgRedundantBga, {need(2, kMsgShortBga)}},
};
constexpr LineSpec<gaencodeparam> kEncodeLine = {
    .types = Field::Encode, .setType = Code<&gaencodeparam::encodeType>::set, .selector = nullptr,
    .missing = kMsgShortBga, .empty = kMsgNoEncode, .unknown = kMsgUnknownEncode,
    .forRga = nullptr, .forBga = nullptr, .variants = kEncodings,
};

// ---- GATYPE;DGA;maxGeneration;finValue;numIsland;islandPopulation;switch;interval;rate; ----------
// ---- GATYPE;DIGA;maxGeneration;finValue;numIsland;islandPopulation;integrateGeneration; ----------

constexpr char kMsgNoGaType[] = " ## Error: No selected choice: GATYPE\n";
constexpr char kMsgUnknownGaType[] = " ## Error: Unknown ga type:%s\n";
constexpr char kMsgMaxGeneration[] = " ## Error: Max generation must be a positive interger.\n";
constexpr char kMsgNumIsland[] = " ## Error: Number of island must be a positive interger.\n";
constexpr char kMsgPopulationLow[] =
    " ## Error: Island population must be larger than number of variables + 2: %d.\n";
constexpr char kMsgPopulationHigh[] = " ## Error: Island population must be smaller than equal %d.\n";
constexpr char kMsgTotalPopulation[] =
    " ## Error: Total population (number of islands * island population) must be smaller than "
    "equal %d.\n";
constexpr char kMsgOneIslandEmigrate[] = "Error: There is a island. Cannot emigrate.\n";
constexpr char kMsgOneIslandOff[] = "Error: There is a island. Set immigration switch OFF.\n";
constexpr char kMsgIntegrateGeneration[] =
    " ## Error: Integrate generation must be a positive interger.\n";
constexpr char kMsgInterval[] = " ## Error: Immigration interval must be a positive integer.\n";
constexpr char kMsgRedundantDgaOff[] = " ## Warning: Redundant prameters for DGA(immigration off).\n";
constexpr char kMsgRedundantDiga[] = " ## Warning: Redundant parameters for DIGA\n";
constexpr char kMsgImmigrationRate[] = " ## Error: Immigration rate must be in region [0,1]\n";
constexpr char kMsgRedundantDgaOn[] = " ## Warning: Redundant parameters for DGA(immigration on).\n";
constexpr char kMsgShortDga[] = " ## Error: Shortage of parameters for DGA(immigration on)\n";
constexpr char kMsgShortDiga[] = " ## Error: Shortage of parameters for DIGA\n";

// The islands are counted in int everywhere; a total beyond that range cannot be run.
int set_total_population(gatypeparam &t) {
    const int64_t total = int64_t{t.numIsland} * t.islandPopulation;
    if (total > std::numeric_limits<int32_t>::max()) {
        log_sys(kMsgTotalPopulation, std::numeric_limits<int32_t>::max());
        return -1;
    }
    t.totalPopulation = static_cast<int32_t>(total);
    return 0;
}

int set_num_immigrants(gatypeparam &t) {
    t.numImmigrants = static_cast<int32_t>(t.immigrationRate * t.islandPopulation);
    return 0;
}

constexpr auto kMaxGeneration =
    int_field(&gatypeparam::maxGeneration, 100, at_least(1, kMsgMaxGeneration));
constexpr auto kFinValue = real_field(&gatypeparam::finValue, -1e-10);
constexpr auto kNumIsland = int_field(&gatypeparam::numIsland, 3, at_least(1, kMsgNumIsland));
constexpr auto kIslandPopulation =
    int_field(&gatypeparam::islandPopulation, 30, at_least(Value::PopulationFloor, kMsgPopulationLow),
              at_most(qv::kGaMaxPopulation, kMsgPopulationHigh))
        .and_then(set_total_population);
// "ON" is the same as RandomSwap; an empty field means RandomSwap even with a single island.
constexpr auto kImmigrationSwitch = word_field<&gatypeparam::immigrationSwitch>(
    Field::Immigration, ImmigrationSwitch::RandomSwap, kMsgOneIslandOff,
    not_on_one_island(ImmigrationSwitch::RandomSwap, kMsgOneIslandEmigrate),
    not_on_one_island(ImmigrationSwitch::RandomRing, kMsgOneIslandOff));
constexpr auto kImmigrationInterval =
    int_field(&gatypeparam::immigrationInterval, 3, at_least(1, kMsgInterval))
        .absent_when(ImmigrationSwitch::Off, kMsgRedundantDgaOff);
constexpr auto kImmigrationRate =
    real_field(&gatypeparam::immigrationRate, 0.1, fraction(kMsgImmigrationRate))
        .and_then(set_num_immigrants);
constexpr auto kIntegrateGeneration =   // DIGA: generation of the merge
    int_field(&gatypeparam::integrateGeneration, 5, at_least(1, kMsgIntegrateGeneration));

constexpr FieldSpec<gatypeparam> kDgaFields[] = {
    kMaxGeneration,     kFinValue,           kNumIsland,       kIslandPopulation,
    kImmigrationSwitch, kImmigrationInterval, kImmigrationRate,
};
constexpr FieldSpec<gatypeparam> kDigaFields[] = {
    kMaxGeneration, kFinValue, kNumIsland, kIslandPopulation, kIntegrateGeneration,
};
constexpr Variant<gatypeparam> kGaTypes[] = {
    {code(GaType::DGA), kDgaFields, kMsgRedundantDgaOn,
     {need_unless(ImmigrationSwitch::Off, 7, kMsgShortDga)}},
    {code(GaType::DIGA), kDigaFields, kMsgRedundantDiga, {need(5, kMsgShortDiga)}},
};
constexpr LineSpec<gatypeparam> kGaTypeLine = {
    .types = Field::GaType, .setType = Code<&gatypeparam::gaType>::set,
    .selector = Code<&gatypeparam::immigrationSwitch>::get,
    .missing = kMsgNoGaType, .empty = kMsgNoGaType, .unknown = kMsgUnknownGaType,
    .forRga = nullptr, .forBga = nullptr, .variants = kGaTypes,
};

// ---- DIGENESIS;NORMAL;numElite;selection;tournamentSize; -----------------------------------------
// ---- DIGENESIS;MGG;numMGGChildren; ---------------------------------------------------------------

constexpr char kMsgNoDigenesis[] = " ## Error: No selected choice: DIGENESIS\n";
constexpr char kMsgUnknownDigenesis[] = " ## Error: Unknown digenesis type:%s\n";
constexpr char kMsgEliteNegative[] = " ## Error: Number of elites must be a positive interger or 0.\n";
constexpr char kMsgEliteAbovePopulation[] =
    " ## Error: Number of elites must be smaller than island population.\n";
constexpr char kMsgEliteAboveStay[] = " ## Error: Number of elites must be smaller than (Island "
                                      "population - Number of immigrants).\n";
constexpr char kMsgMggChildren[] = " ## Error: Number of MGG's children must be a positive interger.\n";
constexpr char kMsgMggChildrenHigh[] =
    " ## Error: Number of MGG's children must be smaller than equal %d.\n";
constexpr char kMsgUnknownSelection[] = " ## Error: Unknown selection type: %s\n";
constexpr char kMsgRedundantMgg[] = " ## Warning: Redundand parameters for MGG.\n";
constexpr char kMsgTournamentSize[] = " ## Error: Tounament Size must be a positive interger.\n";
constexpr char kMsgRedundantRoulette[] = " ## Warning: Redundant parameters for a roulette selection.\n";
constexpr char kMsgRedundantRandom[] = " ## Warning: Redundant parameters for a random selection.\n";
constexpr char kMsgRedundantTournament[] =
    " ## Warning: Redundant parameters for a tounement selection.\n";
constexpr char kMsgShortTournament[] =
    " ## Error: Shortage of parameters for a normal digenesis(Tounament).\n";
constexpr char kMsgShortNormal[] = " ## Error. Shortage of parameters for a normal digenesis.\n";
constexpr char kMsgShortMgg[] = " ## Error: Shortage of parameters for MGG.\n";

int select_at_random(digenesisparam &d) {   // MGG chooses its parents at random
    d.selectionType = SelectionType::Random;
    return 0;
}

constexpr auto kNumElite =
    int_field(&digenesisparam::numElite, Value::NumVariable, at_least(0, kMsgEliteNegative),
              below(Value::IslandPopulation, kMsgEliteAbovePopulation),
              below(Value::StayingPopulation, kMsgEliteAboveStay));
constexpr auto kSelection = word_field<&digenesisparam::selectionType>(
    Field::Selection, SelectionType::Tournament, kMsgUnknownSelection);
constexpr auto kTournamentSize =
    int_field(&digenesisparam::tournamentSize, 2, at_least(1, kMsgTournamentSize))
        .absent_when(SelectionType::Roulette, kMsgRedundantRoulette)
        .absent_when(SelectionType::Random, kMsgRedundantRandom);
constexpr auto kMggChildren =
    int_field(&digenesisparam::numMGGChildren, Value::MggChildren, at_least(1, kMsgMggChildren),
              at_most(qv::kGaMaxMggChildren, kMsgMggChildrenHigh))
        .and_then(select_at_random);

constexpr FieldSpec<digenesisparam> kNormalFields[] = {kNumElite, kSelection, kTournamentSize};
constexpr FieldSpec<digenesisparam> kMggFields[] = {kMggChildren};
constexpr Variant<digenesisparam> kDigeneses[] = {
    {code(DigenesisType::Normal), kNormalFields, kMsgRedundantTournament,
     {need_if(SelectionType::Tournament, 4, kMsgShortTournament), need(3, kMsgShortNormal)}},
    {code(DigenesisType::MGG), kMggFields, kMsgRedundantMgg, {need(2, kMsgShortMgg)}},
};
constexpr LineSpec<digenesisparam> kDigenesisLine = {
    .types = Field::Digenesis, .setType = Code<&digenesisparam::digenesisType>::set,
    .selector = Code<&digenesisparam::selectionType>::get,
    .missing = kMsgNoDigenesis, .empty = kMsgNoDigenesis, .unknown = kMsgUnknownDigenesis,
    .forRga = nullptr, .forBga = nullptr, .variants = kDigeneses,
};

// ---- CROSSOVER;BLX;alpha;  UNDX;alpha;beta;  UNDXm;alpha;beta;m;  SPX;epsilon;  NPOINTS;n;  NONE; -

constexpr char kMsgNoCrossover[] = " ## Error: No selected choice: Crossover type\n";
constexpr char kMsgUnknownCrossover[] = " ## Error: Unknown crossover type:%s\n";
constexpr char kMsgCrossoverForRga[] = " ## Error: %s is a crossover for RGA.\n";
constexpr char kMsgCrossoverForBga[] = " ## Error: %s is a crossover for BGA.\n";
constexpr char kMsgBlxAlpha[] = " ## Error: BLX's parameter alpha must be positive.\n";
constexpr char kMsgUndxAlpha[] = " ## Error: UNDX(UNDXm)'s parameter alpha must be positive.\n";
constexpr char kMsgSpxEpsilon[] = " ## Error: SPX's epsilon must be positive.\n";
constexpr char kMsgCutPoints[] = " ## Error: N points crossover's 'n' must be a positive interger.\n";
constexpr char kMsgCutPointsHigh[] =
    " ## Error: N points crossover's 'n' must be smaller than gene length %d.\n";
constexpr char kMsgRedundantNoCrossover[] = " ## Warning: Redundant parameters for no crossover.\n";
constexpr char kMsgUndxBeta[] = " ## Error: UNDX(UNDXm)'s beta must be positive.\n";
constexpr char kMsgRedundantBlx[] = " ## Warning: Redundant parameters for BLX\n";
constexpr char kMsgRedundantSpx[] = " ## Warning: Redundant parameters for SPX\n";
constexpr char kMsgRedundantNPoints[] = " ## Warning: Redundant parameters for N points crossover.\n";
constexpr char kMsgUndxmM[] = " ## Error: UNDXm's m must be a positive integer.\n";
constexpr char kMsgUndxmMHigh[] =
    " ## Error: UNDXm's m must be smaller than equal number of variables.\n";
constexpr char kMsgRedundantUndx[] = " ## Warning: Redandunt parameters for UNDX.\n";
constexpr char kMsgRedundantUndxm[] = " ## Warning: Redundant parameters for UNDXm.\n";
constexpr char kMsgShortBlx[] = " ## Error: Shortage of parameters for BLX.\n";
constexpr char kMsgShortUndx[] = " ## Error: Shortage of parameters for UNDX.\n";
constexpr char kMsgShortUndxm[] = " ## Error: Shortage of parameters for UNDXm.\n";
constexpr char kMsgShortSpx[] = " ## Error: Shortage of parameters for SPX.\n";
constexpr char kMsgShortNPoints[] = " ## Error: Shortage of parameters for N points crossover.\n";

constexpr FieldSpec<crossoverparam> kBlxFields[] = {
    real_field(&crossoverparam::alpha, 0.5, positive(kMsgBlxAlpha)),
};
constexpr FieldSpec<crossoverparam> kUndxmFields[] = {   // UNDX takes the first two
    real_field(&crossoverparam::alpha, 1.0, positive(kMsgUndxAlpha)),
    real_field(&crossoverparam::beta, 0.35, positive(kMsgUndxBeta)),
    int_field(&crossoverparam::m, Value::UndxmDirections, at_least(1, kMsgUndxmM),
              at_most(Value::NumVariable, kMsgUndxmMHigh)),
};
constexpr FieldSpec<crossoverparam> kSpxFields[] = {
    real_field(&crossoverparam::alpha, Value::SpxEpsilon, positive(kMsgSpxEpsilon)),
};
constexpr FieldSpec<crossoverparam> kNPointsFields[] = {
    int_field(&crossoverparam::m, 1, at_least(1, kMsgCutPoints),
              below(Value::GeneLength, kMsgCutPointsHigh)),
};
constexpr Variant<crossoverparam> kCrossovers[] = {
    {code(CrossoverType::BLX), kBlxFields, kMsgRedundantBlx, {need(2, kMsgShortBlx)}},
    {code(CrossoverType::UNDX), std::span(kUndxmFields).first(2), kMsgRedundantUndx,
     {need(3, kMsgShortUndx)}},
    {code(CrossoverType::UNDXm), kUndxmFields, kMsgRedundantUndxm, {need(4, kMsgShortUndxm)}},
    {code(CrossoverType::SPX), kSpxFields, kMsgRedundantSpx, {need(2, kMsgShortSpx)}},
    {code(CrossoverType::NPoints), kNPointsFields, kMsgRedundantNPoints,
     {need(2, kMsgShortNPoints)}},
    {code(CrossoverType::None), {}, kMsgRedundantNoCrossover},
};
constexpr LineSpec<crossoverparam> kCrossoverLine = {
    .types = Field::Crossover, .setType = Code<&crossoverparam::crossoverType>::set,
    .selector = nullptr,
    .missing = kMsgNoCrossover, .empty = kMsgNoCrossover, .unknown = kMsgUnknownCrossover,
    .forRga = kMsgCrossoverForRga, .forBga = kMsgCrossoverForBga, .variants = kCrossovers,
};

// ---- MUTATION;type;mutationRate;  FixedUni / FixedNormal: MUTATION;type;mutationRate;width; -------

constexpr char kMsgNoMutation[] = " ## Error: No selected choice: Mutation type\n";
constexpr char kMsgUnknownMutation[] = " ## Error: Unknown mutation type:%s\n";
constexpr char kMsgMutationForRga[] = " ## Error: %s is a mutation for RGA.\n";
constexpr char kMsgMutationForBga[] = " ## Error: %s is a mutation for BGA.\n";
constexpr char kMsgRedundantNoMutation[] = " ## Warning: Redundant parameters for no mutation.\n";
constexpr char kMsgMutationRate[] = " ## Error: Mutation rate must be in region [0, 1]\n";
constexpr char kMsgFixedWidth[] = " ## Error: Fixed width must be positive.\n";
constexpr char kMsgFixedSd[] = " ## Error: Standard deviation must be positive.\n";
constexpr char kMsgRedundantRegionUni[] = " ## Warning: Redundant parameters for RegionUni.\n";
constexpr char kMsgRedundantVariable[] = " ## Warning: Redundant parameters for VariableUni(Normal).\n";
constexpr char kMsgRedundantBitReverse[] = " ## Warning: Redundant parameters for BitReverse.\n";
constexpr char kMsgRedundantFixed[] = " ## Warning: Redundant parameters for FixedUni(Normal).\n";
constexpr char kMsgShortRegionUni[] = " ## Error: Shortage of parameters for RregionUni.\n";
constexpr char kMsgShortFixed[] = " ## Error: Shortage of parameters for FixedUni(FixedNormal).\n";
constexpr char kMsgShortVariable[] =
    " ## Error: Shortage of parameters for VariableUni(VariableNormal).\n";
constexpr char kMsgShortBitReverse[] = " ## Error: Shortage of parameters for BitReverse.\n";

constexpr auto kMutationRate =
    real_field(&mutationparam::mutationRate, Value::OnePerGene, fraction(kMsgMutationRate));
constexpr FieldSpec<mutationparam> kRateFields[] = {kMutationRate};
constexpr FieldSpec<mutationparam> kFixedUniFields[] = {
    kMutationRate, real_field(&mutationparam::fixedWidth, 20.0, positive(kMsgFixedWidth)),
};
constexpr FieldSpec<mutationparam> kFixedNormalFields[] = {   // the width is a standard deviation
    kMutationRate, real_field(&mutationparam::fixedWidth, 2.0, positive(kMsgFixedSd)),
};
constexpr Variant<mutationparam> kMutations[] = {
    {code(MutationType::RegionUni), kRateFields, kMsgRedundantRegionUni,
     {need(2, kMsgShortRegionUni)}},
    {code(MutationType::FixedUni), kFixedUniFields, kMsgRedundantFixed, {need(3, kMsgShortFixed)}},
    {code(MutationType::FixedNormal), kFixedNormalFields, kMsgRedundantFixed,
     {need(3, kMsgShortFixed)}},
    {code(MutationType::VariableUni), kRateFields, kMsgRedundantVariable,
     {need(2, kMsgShortVariable)}},
    {code(MutationType::VariableNormal), kRateFields, kMsgRedundantVariable,
     {need(2, kMsgShortVariable)}},
    {code(MutationType::BitReverse), kRateFields, kMsgRedundantBitReverse,
     {need(2, kMsgShortBitReverse)}},
    {code(MutationType::None), {}, kMsgRedundantNoMutation},
};
constexpr LineSpec<mutationparam> kMutationLine = {
    .types = Field::Mutation, .setType = Code<&mutationparam::mutationType>::set,
    .selector = nullptr,
    .missing = kMsgNoMutation, .empty = kMsgNoMutation, .unknown = kMsgUnknownMutation,
    .forRga = kMsgMutationForRga, .forBga = kMsgMutationForBga, .variants = kMutations,
};

static_assert(has_every_variant(kEncodeLine) && has_every_variant(kGaTypeLine) &&
              has_every_variant(kDigenesisLine) && has_every_variant(kCrossoverLine) &&
              has_every_variant(kMutationLine));

// ---- The reader of one line ----------------------------------------------------------------------

// The fields of the current line after its keyword, read one at a time. Only pieces ended by a ';'
// are fields: MyStrtok reports the text after the last ';' as the final piece (-1), which ends the
// line without being read.
struct LineFields {
    int count = 0;          // fields read so far (the current one included)
    char *text = nullptr;   // the current field

    bool next() {
        if (MyStrtok(nullptr, ';', &text) == -1) return false;
        ++count;
        return true;
    }
    bool empty() const { return text[0] == '\0'; }
};

// A field as the conversion "%d" reads it: the longest leading decimal integer (after white
// space). Text that does not convert leaves *value as it was; a number beyond the int range is
// taken as the nearest int.
void scan_int(const char *text, int32_t *value) {
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text) return;
    if (v > std::numeric_limits<int32_t>::max()) {
        *value = std::numeric_limits<int32_t>::max();
    } else if (v < std::numeric_limits<int32_t>::min()) {
        *value = std::numeric_limits<int32_t>::min();
    } else {
        *value = static_cast<int32_t>(v);
    }
}

// A field as the conversion "%lf" reads it (infinities and NaN included). Text that does not
// convert leaves *value as it was.
void scan_real(const char *text, double *value) {
    char *end = nullptr;
    const double v = std::strtod(text, &end);
    if (end != text) *value = v;
}

bool is_bit_string(EncodeType e) { return e == EncodeType::Binary || e == EncodeType::Gray; }

// Whether an operator that works on the given genes can be used with the encoding; else its
// message, with the operator's word.
bool genes_match(const Keyword *k, EncodeType e, const char *forRga, const char *forBga) {
    if (k->genes == Genes::Real && e != EncodeType::Real) {
        log_sys(forRga, k->word);
        return false;
    }
    if (k->genes == Genes::Bits && !is_bit_string(e)) {
        log_sys(forBga, k->word);
        return false;
    }
    return true;
}

// One field into the record: its default when empty, else the converted text, checked.
template <class R>
int read_field(const FieldSpec<R> &f, R &rec, const Context &c, const char *text) {
    const bool empty = text[0] == '\0';
    double value = 0.0;
    switch (f.kind) {
    case Kind::Int:
        if (empty) {
            rec.*f.integer = static_cast<int32_t>(amount(f.empty, c));
        } else {
            scan_int(text, &(rec.*f.integer));
        }
        value = rec.*f.integer;
        break;
    case Kind::Real:
        if (empty) {
            rec.*f.real = amount(f.empty, c);
        } else {
            scan_real(text, &(rec.*f.real));
        }
        value = rec.*f.real;
        break;
    case Kind::Word:
        if (empty) {
            f.setCode(rec, static_cast<int>(amount(f.empty, c)));
        } else {
            const Keyword *k = find_keyword(f.words, text);
            if (k == nullptr) {
                log_sys(f.unknown, text);
                return -1;
            }
            f.setCode(rec, k->code);
            value = k->code;
        }
        break;
    }
    if (!empty) {
        for (const Check &k : f.checks) {
            const double bound = amount(k.bound, c);
            if (!passes(k.rule, value, bound, c)) {
                log_sys(k.message, static_cast<int>(bound));
                return -1;
            }
        }
    }
    return f.then != nullptr ? f.then(rec) : 0;
}

// The type word and the fields of its variant; 0 also when the line ends early (`in` then tells
// how far it got).
template <class R>
int read_fields(const LineSpec<R> &line, R &rec, const Context &c, LineFields &in,
                const Variant<R> *&variant) {
    if (!in.next()) {
        log_sys("%s", line.missing);
        return -1;
    }
    if (in.empty()) {
        log_sys("%s", line.empty);
        return -1;
    }
    const Keyword *k = find_keyword(line.types, in.text);
    if (k == nullptr) {
        log_sys(line.unknown, in.text);
        return -1;
    }
    if (!genes_match(k, c.encode->encodeType, line.forRga, line.forBga)) return -1;
    line.setType(rec, k->code);
    for (const Variant<R> &v : line.variants) {
        if (v.code == k->code) variant = &v;
    }

    for (const FieldSpec<R> &f : variant->fields) {
        if (!in.next()) return 0;
        for (const Absent &a : f.absent) {
            if (a.message != nullptr && line.selector(rec) == a.code) {
                log_sys("%s", a.message);
                return 0;
            }
        }
        if (read_field(f, rec, c, in.text) != 0) return -1;
    }
    if (in.next()) log_sys("%s", variant->redundant);
    return 0;
}

// The rest of a line whose keyword MyStrtok has split off: its fields, then whether there were
// enough of them. 0, or -1 after the message.
template <class R> int read_line(const LineSpec<R> &line, R &rec, const Context &c) {
    LineFields in;
    const Variant<R> *variant = nullptr;
    if (read_fields(line, rec, c, in, variant) != 0) return -1;
    const int selector = line.selector != nullptr ? line.selector(rec) : 0;
    for (const Need &n : variant->needs) {
        const bool applies = n.when == When::Always || (n.when == When::If) == (selector == n.code);
        if (applies && in.count < n.fields) {
            log_sys("%s", n.message);
            return -1;
        }
    }
    return 0;
}

// ---- The file ------------------------------------------------------------------------------------

constexpr char kMsgCannotOpen[] = " ## Error: Cannot open parmeter file:%s\n";
constexpr char kMsgTooLong[] =
    " ## Error: Too long line in parameter file (more than 511 characters without blanks).\n";
constexpr char kMsgDuplicate[] = " ## Error: Duplicate keyword:%s\n";
constexpr char kMsgUnknownKeyword[] = " ## Error: Unknown keyword:%s\n";
constexpr char kMsgNeedEncode[] = " ## Error: Describe \"ENCODE\" at top rank.\n";
constexpr char kMsgNeedEncodeGaType[] =
    " ## Error: Describe \"ENCODE\" at top rank, and \"GATYPE\" at second rank.\n";
constexpr char kMsgTournamentTooLarge[] = " ## Error. Tournament size is too large. Set value <= %d.\n";
constexpr char kMsgKeywordsOmitted[] =
    " ## Error. All keywords(GATYPE, DIGENESIS, CROSSOVER, MUTATION) cannot be omitted.\n";

// The keywords of the file, in the order they must first appear.
enum class Line { Encode, GaType, Digenesis, Crossover, Mutation, Count };
struct LineKeyword {
    const char *word;
    Line line;
};
constexpr LineKeyword kLineKeywords[] = {
    {"ENCODE", Line::Encode},       {"GATYPE", Line::GaType},     {"DIGENESIS", Line::Digenesis},
    {"CROSSOVER", Line::Crossover}, {"MUTATION", Line::Mutation},
};

struct FileCloser {
    void operator()(FILE *fp) const { std::fclose(fp); }
};

// One physical line, with its newline, into buf (size bytes). 1 when a line was read, 0 at the end
// of the file, -1 when the line does not fit (it is then not read any further).
int read_physical_line(FILE *fp, char *buf, int size) {
    int len = 0;
    int c;
    while ((c = std::getc(fp)) != EOF) {
        if (len == size - 1) return -1;
        buf[len++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[len] = '\0';
    return len > 0 ? 1 : 0;
}

// One line with content: its keyword, the order of the keywords, then the keyword's own reader.
int read_keyword_line(gaparam *param, char *line, bool (&seen)[static_cast<int>(Line::Count)]) {
    char *word = nullptr;
    const LineKeyword *key = nullptr;
    if (MyStrtok(line, ';', &word) != -1) {
        for (const LineKeyword &k : kLineKeywords) {
            if (std::strcmp(k.word, word) == 0) key = &k;
        }
    }
    if (key == nullptr) {
        log_sys(kMsgUnknownKeyword, word);
        return -1;
    }
    bool &done = seen[static_cast<int>(key->line)];
    if (done) {
        log_sys(kMsgDuplicate, word);
        return -1;
    }
    const bool haveEncode = seen[static_cast<int>(Line::Encode)];
    const bool haveGaType = seen[static_cast<int>(Line::GaType)];
    if (key->line == Line::GaType && !haveEncode) {
        log_sys(kMsgNeedEncode);
        return -1;
    }
    if (key->line != Line::Encode && key->line != Line::GaType && !(haveEncode && haveGaType)) {
        log_sys(kMsgNeedEncodeGaType);
        return -1;
    }

    int rc = 0;
    switch (key->line) {
    case Line::Encode: rc = set_encode_param(&param->gaEncodeParam); break;
    case Line::GaType: rc = set_gatype_param(&param->gaTypeParam, &param->gaEncodeParam); break;
    case Line::Digenesis:
        rc = set_digenesis_param(&param->digenesisParam, &param->gaEncodeParam, &param->gaTypeParam);
        break;
    case Line::Crossover: rc = set_crossover_param(&param->crossoverParam, &param->gaEncodeParam); break;
    default: rc = set_mutation_param(&param->mutationParam, &param->gaEncodeParam); break;
    }
    if (rc != 0) return -1;
    done = true;
    return 0;
}

}  // namespace

int InitializeParam(gaparam *param) {
    std::memset(param, 0, sizeof(*param));
    param->bestGene.gaGene.fitness = qv::kGaUnevaluated;
    return 0;
}

int SetCommandLineInfo(comline *line, int argc, char **argv) {
    line->argc = argc;
    line->argv = argv;
    return 0;
}

int set_encode_param(gaencodeparam *enc) {
    if (read_line(kEncodeLine, *enc, {enc, nullptr}) != 0) return -1;
    if (enc->encodeType == EncodeType::Real) enc->quantumNumber = 1;
    const int64_t length = int64_t{enc->numVariable} * enc->quantumNumber;
    if (is_bit_string(enc->encodeType) && length > qv::kGaMaxBits) {
        log_sys(kMsgGeneLength, qv::kGaMaxBits);
        return -1;
    }
    enc->geneLength = static_cast<int32_t>(length);
    return 0;
}

int set_gatype_param(gatypeparam *type, const gaencodeparam *encode) {
    return read_line(kGaTypeLine, *type, {encode, type});
}

int set_digenesis_param(digenesisparam *digenesis, const gaencodeparam *encode,
                        const gatypeparam *type) {
    return read_line(kDigenesisLine, *digenesis, {encode, type});
}

int set_crossover_param(crossoverparam *crossover, const gaencodeparam *encode) {
    if (read_line(kCrossoverLine, *crossover, {encode, nullptr}) != 0) return -1;
    switch (crossover->crossoverType) {
    case CrossoverType::BLX: crossover->numParent = kBlxParents; break;
    case CrossoverType::UNDX:
        crossover->m = 1;   // one primary direction
        crossover->numParent = kUndxParents;
        break;
    case CrossoverType::UNDXm: crossover->numParent = crossover->m + kUndxmExtraParents; break;
    case CrossoverType::SPX: crossover->numParent = encode->numVariable + 1; break;
    case CrossoverType::NPoints: crossover->numParent = kNPointsParents; break;
    default: break;   // NONE: no parents
    }
    return 0;
}

int set_mutation_param(mutationparam *mutation, const gaencodeparam *encode) {
    return read_line(kMutationLine, *mutation, {encode, nullptr});
}

int SetParamsFromFile(gaparam *param) {
    const char *name = param->ioParam.paramFileName;
    std::unique_ptr<FILE, FileCloser> fp(std::fopen(name, "r"));
    if (!fp) {
        log_sys(kMsgCannotOpen, name);
        return -1;
    }

    std::vector<char> buf(qv::kGaReadBuffer);
    bool seen[static_cast<int>(Line::Count)] = {};
    for (;;) {
        const int got = read_physical_line(fp.get(), buf.data(), qv::kGaReadBuffer);
        if (got == 0) break;
        // IsCommentLine: 0 for a line over the length limit, 1 for a blank or comment line.
        const int kind = got < 0 ? 0 : IsCommentLine(buf.data());
        if (kind == 0) {
            log_sys(kMsgTooLong);
            return -1;
        }
        // A last line of blanks without a newline is left empty: nothing to read either.
        if (kind == 1 || buf[0] == '\0') continue;
        if (read_keyword_line(param, buf.data(), seen) != 0) return -1;
    }

    // Checks of the whole configuration, in this order.
    const gatypeparam &t = param->gaTypeParam;
    const int maxTournament = t.islandPopulation - param->crossoverParam.numParent + 1;
    if (maxTournament < param->digenesisParam.tournamentSize) {
        log_sys(kMsgTournamentTooLarge, maxTournament);
        return -1;
    }
    for (const LineKeyword &k : kLineKeywords) {
        if (!seen[static_cast<int>(k.line)]) {
            log_sys(kMsgKeywordsOmitted);
            return -1;
        }
    }
    return 0;
}
