// The GA configuration record: its defaults, the command-line record and the GA parameter file.
//
// The parameter file holds one keyword per line (ENCODE first, then GATYPE, then DIGENESIS,
// CROSSOVER and MUTATION in any order), each followed by its fields. Blanks and tabs are removed and
// '#' starts a comment; every piece of a line is ended by a ';', so text after the last ';' is never
// read. An empty field selects the field's default; a non-empty one is converted as the C
// conversions "%d" / "%lf" read it, and text that does not convert leaves the field at its previous
// value, to which the field's check then applies. Fields beyond those a keyword takes are reported
// by a warning and the rest of the line is ignored. The first failing line ends the reading.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
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

// ---- Defaults of empty fields, limits and parent counts ------------------------------------------
constexpr int kDefaultQuantumNumber = 10;          // bits per variable
constexpr int kDefaultMaxGeneration = 100;
constexpr double kDefaultFinValue = -1e-10;
constexpr int kDefaultNumIsland = 3;
constexpr int kDefaultIslandPopulation = 30;
constexpr int kDefaultIntegrateGeneration = 5;     // DIGA: generation of the merge
constexpr int kDefaultImmigrationInterval = 3;
constexpr double kDefaultImmigrationRate = 0.1;
constexpr int kDefaultTournamentSize = 2;
constexpr double kDefaultBlxAlpha = 0.5;
constexpr double kDefaultUndxAlpha = 1.0;
constexpr double kDefaultUndxBeta = 0.35;
constexpr int kDefaultCutPoints = 1;               // NPOINTS: n
constexpr int kUndxmDirectionsBelowN = 2;          // UNDXm: m defaults to numVariable - 2 (>= 1)
constexpr double kSpxEpsilonOffset = 2.0;          // SPX: epsilon defaults to sqrt(numVariable + 2)
constexpr double kDefaultFixedWidth = 20.0;        // FixedUni
constexpr double kDefaultFixedSd = 2.0;            // FixedNormal
constexpr int kBlxParents = 2;
constexpr int kUndxParents = 3;                    // UNDX: one primary direction, m = 1
constexpr int kUndxmExtraParents = 2;              // UNDXm: m + 2
constexpr int kNPointsParents = 2;
constexpr int kPopulationAboveVariables = 2;       // islandPopulation >= numVariable + 2

// ---- Messages ------------------------------------------------------------------------------------
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

constexpr char kMsgNoEncode[] = " ## Error: No selected choice: ENCODE\n";
constexpr char kMsgUnknownEncode[] = " ## Error: Unknown encode type:%s\n";
constexpr char kMsgQuantum[] = " ## Error: Quantum number must be a positive interger.\n";
constexpr char kMsgQuantumTooLarge[] = " ## Error: Quantum number must be smaller than equal %d.\n";
constexpr char kMsgRedundantRga[] = " ## Warning: Redundant parameters for RGA.\n";
constexpr char kMsgRedundantBga[] = " ## Warning: Redundant parameters for BGA.\n";
constexpr char kMsgShortBga[] = " ## Error: Shortage of parameters for BGA.\n";
constexpr char kMsgGeneLength[] =
    " ## Error: BGA's gene length(numVariable * quantumNumber must be smaller than equal %d.\n";

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

// ---- Fields of one line --------------------------------------------------------------------------

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

// ---- ENCODE --------------------------------------------------------------------------------------

int read_encode_fields(gaencodeparam *enc, LineFields &in) {
    if (!in.next()) return 0;
    if (in.empty()) {
        log_sys(kMsgNoEncode);
        return -1;
    }
    const Keyword *k = find_keyword(Field::Encode, in.text);
    if (k == nullptr) {
        log_sys(kMsgUnknownEncode, in.text);
        return -1;
    }
    enc->encodeType = static_cast<EncodeType>(k->code);
    if (enc->encodeType == EncodeType::Real) enc->quantumNumber = 1;

    if (!in.next()) return 0;
    if (enc->encodeType == EncodeType::Real) {
        log_sys(kMsgRedundantRga);
        return 0;
    }
    if (in.empty()) {
        enc->quantumNumber = kDefaultQuantumNumber;
    } else {
        scan_int(in.text, &enc->quantumNumber);
    }
    if (enc->quantumNumber < 1) {
        log_sys(kMsgQuantum);
        return -1;
    }
    // A grid index is an int: more bits per variable than its decoders take are refused here,
    // before the run starts, not at the first decode.
    if (enc->quantumNumber > qv::kGaMaxQuantum) {
        log_sys(kMsgQuantumTooLarge, qv::kGaMaxQuantum);
        return -1;
    }

    if (!in.next()) return 0;
    log_sys(kMsgRedundantBga);
    return 0;
}

// ---- GATYPE --------------------------------------------------------------------------------------

int read_gatype_fields(gatypeparam *t, const gaencodeparam *enc, LineFields &in) {
    if (!in.next() || in.empty()) {
        log_sys(kMsgNoGaType);
        return -1;
    }
    const Keyword *k = find_keyword(Field::GaType, in.text);
    if (k == nullptr) {
        log_sys(kMsgUnknownGaType, in.text);
        return -1;
    }
    t->gaType = static_cast<GaType>(k->code);
    const bool dga = t->gaType == GaType::DGA;

    if (!in.next()) return 0;
    if (in.empty()) {
        t->maxGeneration = kDefaultMaxGeneration;
    } else {
        scan_int(in.text, &t->maxGeneration);
        if (t->maxGeneration < 1) {
            log_sys(kMsgMaxGeneration);
            return -1;
        }
    }

    if (!in.next()) return 0;
    if (in.empty()) {
        t->finValue = kDefaultFinValue;
    } else {
        scan_real(in.text, &t->finValue);
    }

    if (!in.next()) return 0;
    if (in.empty()) {
        t->numIsland = kDefaultNumIsland;
    } else {
        scan_int(in.text, &t->numIsland);
        if (t->numIsland < 1) {
            log_sys(kMsgNumIsland);
            return -1;
        }
    }

    if (!in.next()) return 0;
    if (in.empty()) {
        t->islandPopulation = kDefaultIslandPopulation;
    } else {
        scan_int(in.text, &t->islandPopulation);
        const int low = enc->numVariable + kPopulationAboveVariables;
        if (t->islandPopulation < low) {
            log_sys(kMsgPopulationLow, low);
            return -1;
        }
        if (t->islandPopulation > qv::kGaMaxPopulation) {
            log_sys(kMsgPopulationHigh, qv::kGaMaxPopulation);
            return -1;
        }
    }
    // The islands are counted in int everywhere; a total beyond that range cannot be run.
    const int64_t total = int64_t{t->numIsland} * t->islandPopulation;
    if (total > std::numeric_limits<int32_t>::max()) {
        log_sys(kMsgTotalPopulation, std::numeric_limits<int32_t>::max());
        return -1;
    }
    t->totalPopulation = static_cast<int32_t>(total);

    if (!in.next()) return 0;
    if (dga) {
        if (in.empty()) {
            t->immigrationSwitch = ImmigrationSwitch::RandomSwap;
        } else {
            const Keyword *s = find_keyword(Field::Immigration, in.text);
            if (s == nullptr) {
                log_sys(kMsgOneIslandOff);
                return -1;
            }
            t->immigrationSwitch = static_cast<ImmigrationSwitch>(s->code);
            if (t->numIsland == 1 && t->immigrationSwitch == ImmigrationSwitch::RandomSwap) {
                log_sys(kMsgOneIslandEmigrate);
                return -1;
            }
            if (t->numIsland == 1 && t->immigrationSwitch == ImmigrationSwitch::RandomRing) {
                log_sys(kMsgOneIslandOff);
                return -1;
            }
        }
    } else if (in.empty()) {
        t->integrateGeneration = kDefaultIntegrateGeneration;
    } else {
        scan_int(in.text, &t->integrateGeneration);
        if (t->integrateGeneration < 1) {
            log_sys(kMsgIntegrateGeneration);
            return -1;
        }
    }

    if (!in.next()) return 0;
    if (!dga) {
        log_sys(kMsgRedundantDiga);
        return 0;
    }
    if (t->immigrationSwitch == ImmigrationSwitch::Off) {
        log_sys(kMsgRedundantDgaOff);
        return 0;
    }
    if (in.empty()) {
        t->immigrationInterval = kDefaultImmigrationInterval;
    } else {
        scan_int(in.text, &t->immigrationInterval);
        if (t->immigrationInterval < 1) {
            log_sys(kMsgInterval);
            return -1;
        }
    }

    if (!in.next()) return 0;
    if (in.empty()) {
        t->immigrationRate = kDefaultImmigrationRate;
    } else {
        scan_real(in.text, &t->immigrationRate);
        // Written as the accepted range so that NaN is refused too.
        if (!(t->immigrationRate >= 0.0 && t->immigrationRate <= 1.0)) {
            log_sys(kMsgImmigrationRate);
            return -1;
        }
    }
    t->numImmigrants = static_cast<int32_t>(t->immigrationRate * t->islandPopulation);

    if (!in.next()) return 0;
    log_sys(kMsgRedundantDgaOn);
    return 0;
}

// ---- DIGENESIS -----------------------------------------------------------------------------------

int read_digenesis_fields(digenesisparam *d, const gaencodeparam *enc, const gatypeparam *t,
                          LineFields &in) {
    if (!in.next() || in.empty()) {
        log_sys(kMsgNoDigenesis);
        return -1;
    }
    const Keyword *k = find_keyword(Field::Digenesis, in.text);
    if (k == nullptr) {
        log_sys(kMsgUnknownDigenesis, in.text);
        return -1;
    }
    d->digenesisType = static_cast<DigenesisType>(k->code);
    const bool normal = d->digenesisType == DigenesisType::Normal;

    if (!in.next()) return 0;
    if (normal) {
        if (in.empty()) {
            d->numElite = enc->numVariable;
        } else {
            scan_int(in.text, &d->numElite);
            if (d->numElite < 0) {
                log_sys(kMsgEliteNegative);
                return -1;
            }
            if (d->numElite >= t->islandPopulation) {
                log_sys(kMsgEliteAbovePopulation);
                return -1;
            }
            if (d->numElite >= t->islandPopulation - t->numImmigrants) {
                log_sys(kMsgEliteAboveStay);
                return -1;
            }
        }
    } else {
        if (in.empty()) {
            d->numMGGChildren = t->islandPopulation < qv::kGaMaxMggChildren ? t->islandPopulation
                                                                            : qv::kGaMaxMggChildren;
        } else {
            scan_int(in.text, &d->numMGGChildren);
            if (d->numMGGChildren < 1) {
                log_sys(kMsgMggChildren);
                return -1;
            }
            if (d->numMGGChildren > qv::kGaMaxMggChildren) {
                log_sys(kMsgMggChildrenHigh, qv::kGaMaxMggChildren);
                return -1;
            }
        }
        d->selectionType = SelectionType::Random;   // MGG chooses its parents at random
    }

    if (!in.next()) return 0;
    if (!normal) {
        log_sys(kMsgRedundantMgg);
        return 0;
    }
    if (in.empty()) {
        d->selectionType = SelectionType::Tournament;
    } else {
        const Keyword *s = find_keyword(Field::Selection, in.text);
        if (s == nullptr) {
            log_sys(kMsgUnknownSelection, in.text);
            return -1;
        }
        d->selectionType = static_cast<SelectionType>(s->code);
    }

    if (!in.next()) return 0;
    if (d->selectionType == SelectionType::Roulette) {
        log_sys(kMsgRedundantRoulette);
        return 0;
    }
    if (d->selectionType == SelectionType::Random) {
        log_sys(kMsgRedundantRandom);
        return 0;
    }
    if (in.empty()) {
        d->tournamentSize = kDefaultTournamentSize;
    } else {
        scan_int(in.text, &d->tournamentSize);
        if (d->tournamentSize < 1) {
            log_sys(kMsgTournamentSize);
            return -1;
        }
    }

    if (!in.next()) return 0;
    log_sys(kMsgRedundantTournament);
    return 0;
}

// ---- CROSSOVER -----------------------------------------------------------------------------------

int read_crossover_fields(crossoverparam *c, const gaencodeparam *enc, LineFields &in) {
    if (!in.next() || in.empty()) {
        log_sys(kMsgNoCrossover);
        return -1;
    }
    const Keyword *k = find_keyword(Field::Crossover, in.text);
    if (k == nullptr) {
        log_sys(kMsgUnknownCrossover, in.text);
        return -1;
    }
    if (!genes_match(k, enc->encodeType, kMsgCrossoverForRga, kMsgCrossoverForBga)) return -1;
    c->crossoverType = static_cast<CrossoverType>(k->code);
    const CrossoverType type = c->crossoverType;
    const bool undx = type == CrossoverType::UNDX || type == CrossoverType::UNDXm;

    // Field 2: alpha (epsilon for SPX) for the real-coded crossovers, n for NPOINTS.
    if (!in.next()) return 0;
    switch (type) {
    case CrossoverType::BLX:
        if (in.empty()) {
            c->alpha = kDefaultBlxAlpha;
        } else {
            scan_real(in.text, &c->alpha);
            if (!(c->alpha > 0.0)) {
                log_sys(kMsgBlxAlpha);
                return -1;
            }
        }
        break;
    case CrossoverType::UNDX:
    case CrossoverType::UNDXm:
        if (in.empty()) {
            c->alpha = kDefaultUndxAlpha;
        } else {
            scan_real(in.text, &c->alpha);
            if (!(c->alpha > 0.0)) {
                log_sys(kMsgUndxAlpha);
                return -1;
            }
        }
        break;
    case CrossoverType::SPX:
        if (in.empty()) {
            c->alpha = std::sqrt(enc->numVariable + kSpxEpsilonOffset);
        } else {
            scan_real(in.text, &c->alpha);
            if (!(c->alpha > 0.0)) {
                log_sys(kMsgSpxEpsilon);
                return -1;
            }
        }
        break;
    case CrossoverType::NPoints:
        if (in.empty()) {
            c->m = kDefaultCutPoints;
        } else {
            scan_int(in.text, &c->m);
            if (c->m < 1) {
                log_sys(kMsgCutPoints);
                return -1;
            }
            if (c->m >= enc->geneLength) {
                log_sys(kMsgCutPointsHigh, enc->geneLength);
                return -1;
            }
        }
        break;
    default:   // NONE
        log_sys(kMsgRedundantNoCrossover);
        return 0;
    }

    // Field 3: beta for UNDX and UNDXm; the others take no more fields.
    if (!in.next()) return 0;
    if (type == CrossoverType::BLX) {
        log_sys(kMsgRedundantBlx);
        return 0;
    }
    if (type == CrossoverType::SPX) {
        log_sys(kMsgRedundantSpx);
        return 0;
    }
    if (type == CrossoverType::NPoints) {
        log_sys(kMsgRedundantNPoints);
        return 0;
    }
    if (undx) {
        if (in.empty()) {
            c->beta = kDefaultUndxBeta;
        } else {
            scan_real(in.text, &c->beta);
            if (!(c->beta > 0.0)) {
                log_sys(kMsgUndxBeta);
                return -1;
            }
        }
    }

    // Field 4: m for UNDXm.
    if (!in.next()) return 0;
    if (type == CrossoverType::UNDX) {
        log_sys(kMsgRedundantUndx);
        return 0;
    }
    if (in.empty()) {
        const int m = enc->numVariable - kUndxmDirectionsBelowN;
        c->m = m >= 1 ? m : 1;
    } else {
        scan_int(in.text, &c->m);
        if (c->m < 1) {
            log_sys(kMsgUndxmM);
            return -1;
        }
        if (c->m > enc->numVariable) {
            log_sys(kMsgUndxmMHigh);
            return -1;
        }
    }

    if (!in.next()) return 0;
    log_sys(kMsgRedundantUndxm);
    return 0;
}

// ---- MUTATION ------------------------------------------------------------------------------------

int read_mutation_fields(mutationparam *mu, const gaencodeparam *enc, LineFields &in) {
    if (!in.next() || in.empty()) {
        log_sys(kMsgNoMutation);
        return -1;
    }
    const Keyword *k = find_keyword(Field::Mutation, in.text);
    if (k == nullptr) {
        log_sys(kMsgUnknownMutation, in.text);
        return -1;
    }
    if (!genes_match(k, enc->encodeType, kMsgMutationForRga, kMsgMutationForBga)) return -1;
    mu->mutationType = static_cast<MutationType>(k->code);
    const MutationType type = mu->mutationType;

    if (!in.next()) return 0;
    if (type == MutationType::None) {
        log_sys(kMsgRedundantNoMutation);
        return 0;
    }
    if (in.empty()) {
        // One mutated gene per individual on average.
        mu->mutationRate = enc->geneLength > 0 ? 1.0 / enc->geneLength : 0.0;
    } else {
        scan_real(in.text, &mu->mutationRate);
        if (!(mu->mutationRate >= 0.0 && mu->mutationRate <= 1.0)) {
            log_sys(kMsgMutationRate);
            return -1;
        }
    }

    if (!in.next()) return 0;
    switch (type) {
    case MutationType::FixedUni:
    case MutationType::FixedNormal: {
        const bool uni = type == MutationType::FixedUni;
        if (in.empty()) {
            mu->fixedWidth = uni ? kDefaultFixedWidth : kDefaultFixedSd;
        } else {
            scan_real(in.text, &mu->fixedWidth);
            if (!(mu->fixedWidth > 0.0)) {
                log_sys(uni ? kMsgFixedWidth : kMsgFixedSd);
                return -1;
            }
        }
        break;
    }
    case MutationType::RegionUni:
        log_sys(kMsgRedundantRegionUni);
        return 0;
    case MutationType::VariableUni:
    case MutationType::VariableNormal:
        log_sys(kMsgRedundantVariable);
        return 0;
    default:   // BitReverse
        log_sys(kMsgRedundantBitReverse);
        return 0;
    }

    if (!in.next()) return 0;
    log_sys(kMsgRedundantFixed);
    return 0;
}

// ---- The file ------------------------------------------------------------------------------------

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
    LineFields in;
    if (read_encode_fields(enc, in) != 0) return -1;
    const bool bits = is_bit_string(enc->encodeType);
    if (in.count == 0 || (bits && in.count < 2)) {
        log_sys(kMsgShortBga);
        return -1;
    }
    const int64_t length = int64_t{enc->numVariable} * enc->quantumNumber;
    if (bits && length > qv::kGaMaxBits) {
        log_sys(kMsgGeneLength, qv::kGaMaxBits);
        return -1;
    }
    enc->geneLength = static_cast<int32_t>(length);
    return 0;
}

int set_gatype_param(gatypeparam *type, const gaencodeparam *encode) {
    LineFields in;
    if (read_gatype_fields(type, encode, in) != 0) return -1;
    if (type->gaType == GaType::DGA) {
        // The switch is field 6: with it OFF the line has its six fields.
        if (type->immigrationSwitch != ImmigrationSwitch::Off && in.count < 7) {
            log_sys(kMsgShortDga);
            return -1;
        }
    } else if (in.count < 5) {
        log_sys(kMsgShortDiga);
        return -1;
    }
    return 0;
}

int set_digenesis_param(digenesisparam *digenesis, const gaencodeparam *encode,
                        const gatypeparam *type) {
    LineFields in;
    if (read_digenesis_fields(digenesis, encode, type, in) != 0) return -1;
    if (digenesis->digenesisType == DigenesisType::Normal) {
        if (digenesis->selectionType == SelectionType::Tournament && in.count < 4) {
            log_sys(kMsgShortTournament);
            return -1;
        }
        if (in.count < 3) {
            log_sys(kMsgShortNormal);
            return -1;
        }
    } else if (in.count < 2) {
        log_sys(kMsgShortMgg);
        return -1;
    }
    return 0;
}

int set_crossover_param(crossoverparam *crossover, const gaencodeparam *encode) {
    LineFields in;
    if (read_crossover_fields(crossover, encode, in) != 0) return -1;
    // Fields each crossover needs, its shortage message and its number of parents.
    int need = 1;
    const char *shortage = nullptr;
    int parents = 0;
    switch (crossover->crossoverType) {
    case CrossoverType::BLX: need = 2, shortage = kMsgShortBlx, parents = kBlxParents; break;
    case CrossoverType::UNDX: need = 3, shortage = kMsgShortUndx, parents = kUndxParents; break;
    case CrossoverType::UNDXm:
        need = 4, shortage = kMsgShortUndxm, parents = crossover->m + kUndxmExtraParents;
        break;
    case CrossoverType::SPX: need = 2, shortage = kMsgShortSpx, parents = encode->numVariable + 1; break;
    case CrossoverType::NPoints: need = 2, shortage = kMsgShortNPoints, parents = kNPointsParents; break;
    default: break;   // NONE: the type only, no parents
    }
    if (in.count < need) {
        log_sys("%s", shortage);
        return -1;
    }
    if (crossover->crossoverType == CrossoverType::UNDX) crossover->m = 1;   // one primary direction
    if (crossover->crossoverType != CrossoverType::None) crossover->numParent = parents;
    return 0;
}

int set_mutation_param(mutationparam *mutation, const gaencodeparam *encode) {
    LineFields in;
    if (read_mutation_fields(mutation, encode, in) != 0) return -1;
    const char *shortage = nullptr;
    switch (mutation->mutationType) {
    case MutationType::RegionUni:
        if (in.count < 2) shortage = kMsgShortRegionUni;
        break;
    case MutationType::FixedUni:
    case MutationType::FixedNormal:
        if (in.count < 3) shortage = kMsgShortFixed;
        break;
    case MutationType::VariableUni:
    case MutationType::VariableNormal:
        if (in.count < 2) shortage = kMsgShortVariable;
        break;
    case MutationType::BitReverse:
        if (in.count < 2) shortage = kMsgShortBitReverse;
        break;
    default:   // NONE needs its type only
        break;
    }
    if (shortage != nullptr) {
        log_sys("%s", shortage);
        return -1;
    }
    return 0;
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
