// Mutation: five operators for real-coded genes that keep every value inside the search region,
// and bit reversal for bit strings. A real operator visits each variable in order: a rate draw
// decides whether the variable mutates; a mutated candidate outside the region is rejected and
// the whole attempt (rate draw included) is repeated, so the random stream advances by one or
// two draws per attempt.
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/mutation.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr char kMsgMutation[] = " ## System Error: In Mutation.\n";
constexpr char kMsgKept[] =
    " ## Warning: Mutation found no value inside the region in 1000 tries; the value was kept "
    "(reported once).\n";
static_assert(qv::kMaxMutationTries == 1000, "the warning names the number of tries");

bool keptReported = false;

// The variables a region describes, limited to what a gene can hold.
int variableCount(const variableregion *region) {
    if (region->arraySize < 0) return 0;
    return region->arraySize < qv::kGaVariableRoom ? region->arraySize : qv::kGaVariableRoom;
}

// The common frame of the real operators. draw(i, x) makes the candidate for variable i whose
// current value is x. A candidate that is not a number counts as outside the region.
template <typename Draw>
int mutateReal(const gagene *source, double rate, const variableregion *region, bool confined,
               gagene *out, Draw draw) {
    const int n = variableCount(region);
    for (int i = 0; i < n; ++i) {
        const double x = source->gene_r[i];
        double value = x;
        for (int attempt = 1;; ++attempt) {
            if (!(GenUniformRand(0.0, 1.0) < rate)) break;   // not mutated: keeps x
            const double v = draw(i, x);
            if (!confined || (region->minArray[i] <= v && v <= region->maxArray[i])) {
                value = v;
                break;
            }
            if (attempt >= qv::kMaxMutationTries) {
                if (!keptReported) {
                    keptReported = true;
                    log_sys(kMsgKept);
                }
                break;
            }
        }
        out->gene_r[i] = value;
    }
    out->fitness = qv::kGaUnevaluated;
    return 0;
}

}  // namespace

int Mutation(const gaparam *param, const gagene *source, const gagene *reference, gagene *out) {
    const mutationparam &mp = param->mutationParam;
    const variableregion *region = &param->variableRegion;
    const bool realCoded = mp.mutationType >= MutationType::RegionUni &&
                           mp.mutationType <= MutationType::VariableNormal;
    if (realCoded && (region->arraySize < 0 || region->arraySize > ga_variable_limit())) {
        log_sys(kMsgMutation);
        return -1;
    }
    switch (mp.mutationType) {
    case MutationType::RegionUni: return region_uni(source, mp.mutationRate, region, out);
    case MutationType::FixedUni: return fixed_uni(source, mp.mutationRate, mp.fixedWidth, region, out);
    case MutationType::FixedNormal: return fixed_normal(source, mp.mutationRate, mp.fixedWidth, region, out);
    case MutationType::VariableUni: return variable_uni(source, reference, mp.mutationRate, region, out);
    case MutationType::VariableNormal:
        return variable_normal(source, reference, mp.mutationRate, region, out);
    case MutationType::BitReverse: {
        const int length = param->gaEncodeParam.geneLength;
        if (length < 0 || length > qv::kGaMaxBits) break;
        for (int i = 0; i < length; ++i) out->gene_b[i] = source->gene_b[i];
        return bit_reverse(out, mp.mutationRate, length);
    }
    default: break;
    }
    log_sys(kMsgMutation);
    return -1;
}

// New value uniform over the variable's whole region; always inside, never redrawn.
int region_uni(const gagene *source, double rate, const variableregion *region, gagene *out) {
    return mutateReal(source, rate, region, false, out, [region](int i, double) {
        return GenUniformRand(region->minArray[i], region->maxArray[i]);
    });
}

int fixed_uni(const gagene *source, double rate, double width, const variableregion *region, gagene *out) {
    return mutateReal(source, rate, region, true, out,
                      [width](int, double x) { return GenUniformRand(x - width, x + width); });
}

// sd is the standard deviation; the normal generator takes the variance.
int fixed_normal(const gagene *source, double rate, double sd, const variableregion *region, gagene *out) {
    return mutateReal(source, rate, region, true, out,
                      [sd](int, double x) { return GenNormalRand(x, sd * sd); });
}

// The width is the distance of the variable from the same variable of the reference individual.
int variable_uni(const gagene *source, const gagene *reference, double rate,
                 const variableregion *region, gagene *out) {
    return mutateReal(source, rate, region, true, out, [reference](int i, double x) {
        const double d = std::fabs(reference->gene_r[i] - x);
        return GenUniformRand(x - d, x + d);
    });
}

int variable_normal(const gagene *source, const gagene *reference, double rate,
                    const variableregion *region, gagene *out) {
    return mutateReal(source, rate, region, true, out, [reference](int i, double x) {
        const double d = std::fabs(reference->gene_r[i] - x);
        return GenNormalRand(x, d * d);
    });
}

// Flips each of the first geneLength bits with probability rate; the fitness is not touched.
int bit_reverse(gagene *gene, double rate, int geneLength) {
    if (geneLength > qv::kGaMaxBits) geneLength = qv::kGaMaxBits;
    for (int i = 0; i < geneLength; ++i)
        if (GenUniformRand(0.0, 1.0) < rate) gene->gene_b[i] ^= 1;
    return 0;
}
