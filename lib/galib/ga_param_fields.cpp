// The fields of the five keyword lines of the GA parameter file: one section per keyword, with its
// messages, its fields and the variants of its type words. Defaults of empty fields and the checks
// of the values read are in the field entries; what a line needs at least is in its variants.
#include "ga_param_fields.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "ga_keywords.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"

namespace qv::ga {
namespace {

// ---- Building the entries ------------------------------------------------------------------------

template <class E> constexpr int code(E e) { return static_cast<int>(e); }

// Reading and writing a code member (an enum class) of a record as the int of the keyword table.
template <auto Member> struct Code;
template <class R, class E, E R::*Member> struct Code<Member> {
    using Record = R;
    static void set(R &r, int c) { r.*Member = static_cast<E>(c); }
    static int get(const R &r) { return static_cast<int>(r.*Member); }
};

constexpr Check at_least(Amount b, const char *m) { return {Rule::AtLeast, b, m}; }
constexpr Check at_most(Amount b, const char *m) { return {Rule::AtMost, b, m}; }
constexpr Check below(Amount b, const char *m) { return {Rule::Below, b, m}; }
constexpr Check positive(const char *m) { return {Rule::Positive, {}, m}; }
constexpr Check fraction(const char *m) { return {Rule::Fraction, {}, m}; }
template <class E> constexpr Check not_on_one_island(E c, const char *m) {
    return {Rule::NotOnOneIsland, static_cast<double>(code(c)), m};
}

template <class R, class... C>
constexpr FieldDef<R> int_field(int32_t R::*member, Amount empty, C... checks) {
    return {.kind = Kind::Int, .integer = member, .empty = empty, .checks = {checks...}};
}
template <class R, class... C>
constexpr FieldDef<R> real_field(double R::*member, Amount empty, C... checks) {
    return {.kind = Kind::Real, .real = member, .empty = empty, .checks = {checks...}};
}
template <auto Member, class E, class... C>
constexpr FieldDef<typename Code<Member>::Record> word_field(Field words, E empty,
                                                              const char *unknown, C... checks) {
    return {.kind = Kind::Word, .words = words, .setCode = Code<Member>::set, .unknown = unknown,
            .empty = static_cast<double>(code(empty)), .checks = {checks...}};
}

constexpr Need need(int fields, const char *m) { return {fields, m}; }
template <class E> constexpr Need need_if(E c, int fields, const char *m) {
    return {fields, m, When::If, code(c)};
}
template <class E> constexpr Need need_unless(E c, int fields, const char *m) {
    return {fields, m, When::Unless, code(c)};
}

// Every type word of the keyword table has its variant.
template <class R> constexpr bool has_every_variant(Field types, std::span<const Variant<R>> all) {
    auto has = [&](int c) {
        return std::any_of(all.begin(), all.end(),
                           [&](const Variant<R> &v) { return v.code == c; });
    };
    return std::all_of(std::begin(kKeywords), std::end(kKeywords),
                       [&](const Keyword &k) { return k.field != types || has(k.code); });
}

}  // namespace

// ---- ENCODE;type;quantumNumber; ------------------------------------------------------------------

constexpr char kMsgNoEncode[] = " ## Error: No selected choice: ENCODE\n";
constexpr char kMsgUnknownEncode[] = " ## Error: Unknown encode type:%s\n";
constexpr char kMsgQuantum[] = " ## Error: Quantum number must be a positive interger.\n";
constexpr char kMsgQuantumTooLarge[] = " ## Error: Quantum number must be smaller than equal %d.\n";
constexpr char kMsgRedundantRga[] = " ## Warning: Redundant parameters for RGA.\n";
constexpr char kMsgRedundantBga[] = " ## Warning: Redundant parameters for BGA.\n";
constexpr char kMsgShortBga[] = " ## Error: Shortage of parameters for BGA.\n";

// A grid index is an int: more bits per variable than its decoders take are refused here, before
// the run starts, not at the first decode. Like every default, 10 bits is not checked: it is valid.
constexpr int kDefaultQuantumNumber = 10;
static_assert(kDefaultQuantumNumber <= qv::kGaMaxQuantum);
constexpr auto kQuantumNumber =
    int_field(&gaencodeparam::quantumNumber, kDefaultQuantumNumber, at_least(1, kMsgQuantum),
              at_most(qv::kGaMaxQuantum, kMsgQuantumTooLarge));

constexpr FieldDef<gaencodeparam> kBitStringFields[] = {kQuantumNumber};
constexpr Variant<gaencodeparam> kEncodings[] = {
    {code(EncodeType::Real), {}, kMsgRedundantRga},
    {code(EncodeType::Binary), kBitStringFields, kMsgRedundantBga, {need(2, kMsgShortBga)}},
    {code(EncodeType::Gray), kBitStringFields, kMsgRedundantBga, {need(2, kMsgShortBga)}},
};

static_assert(has_every_variant<gaencodeparam>(Field::Encode, kEncodings));

const LineDef<gaencodeparam> kEncodeLine = {
    .types = Field::Encode, .setType = Code<&gaencodeparam::encodeType>::set,
    .missing = kMsgShortBga, .empty = kMsgNoEncode, .unknown = kMsgUnknownEncode,
    .variants = kEncodings,
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

namespace {

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

}  // namespace

constexpr auto kMaxGeneration =
    int_field(&gatypeparam::maxGeneration, 100, at_least(1, kMsgMaxGeneration));
constexpr auto kFinValue = real_field(&gatypeparam::finValue, -1e-10);
constexpr auto kNumIsland = int_field(&gatypeparam::numIsland, 3, at_least(1, kMsgNumIsland));
constexpr auto kIslandPopulation =
    int_field(&gatypeparam::islandPopulation, 30,
              at_least(Value::PopulationFloor, kMsgPopulationLow),
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

constexpr FieldDef<gatypeparam> kDgaFields[] = {
    kMaxGeneration,     kFinValue,           kNumIsland,       kIslandPopulation,
    kImmigrationSwitch, kImmigrationInterval, kImmigrationRate,
};
constexpr FieldDef<gatypeparam> kDigaFields[] = {
    kMaxGeneration, kFinValue, kNumIsland, kIslandPopulation, kIntegrateGeneration,
};
constexpr Variant<gatypeparam> kGaTypes[] = {
    {code(GaType::DGA), kDgaFields, kMsgRedundantDgaOn,
     {need_unless(ImmigrationSwitch::Off, 7, kMsgShortDga)}},
    {code(GaType::DIGA), kDigaFields, kMsgRedundantDiga, {need(5, kMsgShortDiga)}},
};

static_assert(has_every_variant<gatypeparam>(Field::GaType, kGaTypes));

const LineDef<gatypeparam> kGaTypeLine = {
    .types = Field::GaType, .setType = Code<&gatypeparam::gaType>::set,
    .missing = kMsgNoGaType, .empty = kMsgNoGaType, .unknown = kMsgUnknownGaType,
    .variants = kGaTypes,
    .selector = Code<&gatypeparam::immigrationSwitch>::get,
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

namespace {
int select_at_random(digenesisparam &d) {   // MGG chooses its parents at random
    d.selectionType = SelectionType::Random;
    return 0;
}
}  // namespace

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

constexpr FieldDef<digenesisparam> kNormalFields[] = {kNumElite, kSelection, kTournamentSize};
constexpr FieldDef<digenesisparam> kMggFields[] = {kMggChildren};
constexpr Variant<digenesisparam> kDigeneses[] = {
    {code(DigenesisType::Normal), kNormalFields, kMsgRedundantTournament,
     {need_if(SelectionType::Tournament, 4, kMsgShortTournament), need(3, kMsgShortNormal)}},
    {code(DigenesisType::MGG), kMggFields, kMsgRedundantMgg, {need(2, kMsgShortMgg)}},
};

static_assert(has_every_variant<digenesisparam>(Field::Digenesis, kDigeneses));

const LineDef<digenesisparam> kDigenesisLine = {
    .types = Field::Digenesis, .setType = Code<&digenesisparam::digenesisType>::set,
    .missing = kMsgNoDigenesis, .empty = kMsgNoDigenesis, .unknown = kMsgUnknownDigenesis,
    .variants = kDigeneses,
    .selector = Code<&digenesisparam::selectionType>::get,
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

constexpr FieldDef<crossoverparam> kBlxFields[] = {
    real_field(&crossoverparam::alpha, 0.5, positive(kMsgBlxAlpha)),
};
constexpr FieldDef<crossoverparam> kUndxmFields[] = {   // UNDX takes the first two
    real_field(&crossoverparam::alpha, 1.0, positive(kMsgUndxAlpha)),
    real_field(&crossoverparam::beta, 0.35, positive(kMsgUndxBeta)),
    int_field(&crossoverparam::m, Value::UndxmDirections, at_least(1, kMsgUndxmM),
              at_most(Value::NumVariable, kMsgUndxmMHigh)),
};
constexpr FieldDef<crossoverparam> kSpxFields[] = {
    real_field(&crossoverparam::alpha, Value::SpxEpsilon, positive(kMsgSpxEpsilon)),
};
constexpr FieldDef<crossoverparam> kNPointsFields[] = {
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

static_assert(has_every_variant<crossoverparam>(Field::Crossover, kCrossovers));

const LineDef<crossoverparam> kCrossoverLine = {
    .types = Field::Crossover, .setType = Code<&crossoverparam::crossoverType>::set,
    .missing = kMsgNoCrossover, .empty = kMsgNoCrossover, .unknown = kMsgUnknownCrossover,
    .variants = kCrossovers,
    .forRga = kMsgCrossoverForRga, .forBga = kMsgCrossoverForBga,
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
constexpr FieldDef<mutationparam> kRateFields[] = {kMutationRate};
constexpr FieldDef<mutationparam> kFixedUniFields[] = {
    kMutationRate, real_field(&mutationparam::fixedWidth, 20.0, positive(kMsgFixedWidth)),
};
constexpr FieldDef<mutationparam> kFixedNormalFields[] = {   // the width is a standard deviation
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

static_assert(has_every_variant<mutationparam>(Field::Mutation, kMutations));

const LineDef<mutationparam> kMutationLine = {
    .types = Field::Mutation, .setType = Code<&mutationparam::mutationType>::set,
    .missing = kMsgNoMutation, .empty = kMsgNoMutation, .unknown = kMsgUnknownMutation,
    .variants = kMutations,
    .forRga = kMsgMutationForRga, .forBga = kMsgMutationForBga,
};

// ---- PARALLEL;ISLAND;  PARALLEL;INDIVIDUAL; (optional) ----------------------------------------------

constexpr char kMsgNoParallel[] = " ## Error: No selected choice: PARALLEL\n";
constexpr char kMsgUnknownParallel[] = " ## Error: Unknown parallel grain:%s\n";
constexpr char kMsgRedundantParallel[] = " ## Warning: Redundant parameters for PARALLEL.\n";

constexpr Variant<parallelparam> kGrains[] = {
    {code(ParallelGrain::Island), {}, kMsgRedundantParallel},
    {code(ParallelGrain::Individual), {}, kMsgRedundantParallel},
};

static_assert(has_every_variant<parallelparam>(Field::Parallel, kGrains));

const LineDef<parallelparam> kParallelLine = {
    .types = Field::Parallel, .setType = Code<&parallelparam::grain>::set,
    .missing = kMsgNoParallel, .empty = kMsgNoParallel, .unknown = kMsgUnknownParallel,
    .variants = kGrains,
};

// ---- REFINE;interval;count;budget;spread; (optional) ------------------------------------------------------

constexpr char kMsgRefineInterval[] = " ## Error: Refinement interval must be a positive integer.\n";
constexpr char kMsgRefineCount[] = " ## Error: Number of refined individuals must be a positive integer.\n";
constexpr char kMsgRefineCountHigh[] =
    " ## Error: Number of refined individuals must be smaller than equal island population %d.\n";
constexpr char kMsgRefineBudget[] = " ## Error: Refinement budget must be a positive integer.\n";
constexpr char kMsgRefineSpread[] = " ## Error: Number of individuals refined across the ranking must be 0 or more.\n";
constexpr char kMsgRedundantRefineText[] = " ## Warning: Redundant parameters for REFINE.\n";

constexpr FieldDef<refineparam> kRefineFieldTable[] = {
    int_field(&refineparam::interval, 10, at_least(1, kMsgRefineInterval)),
    int_field(&refineparam::count, 1, at_least(1, kMsgRefineCount),
              at_most(Value::IslandPopulation, kMsgRefineCountHigh)),
    int_field(&refineparam::budget, 100, at_least(1, kMsgRefineBudget)),
    int_field(&refineparam::spread, 0, at_least(0, kMsgRefineSpread)),
};
const std::span<const FieldDef<refineparam>> kRefineFields = kRefineFieldTable;
const char *const kMsgRedundantRefine = kMsgRedundantRefineText;

// ---- CHECKPOINT;file;interval; (optional) ---------------------------------------------------------

constexpr char kMsgCheckpointInterval[] = " ## Error: Checkpoint interval must be a positive integer.\n";
constexpr char kMsgRedundantCheckpointText[] = " ## Warning: Redundant parameters for CHECKPOINT.\n";

constexpr FieldDef<checkpointparam> kCheckpointFieldTable[] = {
    int_field(&checkpointparam::interval, 10, at_least(1, kMsgCheckpointInterval)),
};
const std::span<const FieldDef<checkpointparam>> kCheckpointFields = kCheckpointFieldTable;
const char *const kMsgRedundantCheckpoint = kMsgRedundantCheckpointText;

}  // namespace qv::ga
