// Scoring and ranking of individuals: the fitness of one gene (decoded and simulated), the model's
// refinement of one real-coded gene, the order of an island best first, and the record of the best
// individual found so far. Fitness is maximised.
#include <algorithm>
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/galib/utl_i2d.h"

namespace {

constexpr char kMsgInvalidReturn[] = " ## Error: Invalid return cord from usrFitness.\n";
constexpr char kMsgInvalidRefineReturn[] = " ## Error: Invalid return code from qv_model_refine.\n";

// Sort key: a fitness that is not a number ranks below every number, so a failed score can never
// come first and the order stays a strict weak ordering.
double rankKey(double f) { return std::isnan(f) ? -HUGE_VAL : f; }

}  // namespace

int Fitness(const gaparam *param, const gagene *gene, double *fitness) {
    double x[qv::kGaVariableRoom];
    if (GeneToValues(param, gene, x) != 0) return -1;
    return FitnessOfValues(param, x, fitness);
}

int FitnessOfValues(const gaparam *param, const double *x, double *fitness) {
    const int r = QvFitness(x, param->gaEncodeParam.numVariable, param->comLine.argc,
                            param->comLine.argv, fitness);
    if (r == 0 || r == -1) return r;
    log_sys(kMsgInvalidReturn);
    return -1;
}

int RefineValues(const gaparam *param, double *x, double *fitness, refinetotals *spent) {
    qv_refine_count count{0, 0, 0};
    const int r = QvRefine(x, param->gaEncodeParam.numVariable, param->refineParam.budget, fitness, &count);
    spent->refinements += count.refinements;
    spent->evaluations += count.evaluations;
    spent->gradients += count.gradients;
    if (r == 0 || r == -1) return r;
    log_sys(kMsgInvalidRefineReturn);
    return -1;
}

int SortByFitness(gaisland *island) {
    const int n = island->population;
    for (int i = 0; i < n; ++i) island->sortedIndex[i] = i;
    // Larger fitness first; equal fitness keeps the resident order, so a run is reproducible
    // whatever the sort algorithm does with ties. Nothing is allocated.
    const gagene *res = island->residents;
    std::sort(island->sortedIndex, island->sortedIndex + n, [res](int a, int b) {
        const double fa = rankKey(res[a].fitness);
        const double fb = rankKey(res[b].fitness);
        return fa > fb || (fa == fb && a < b);
    });
    return 0;
}

int RecordBestGene(int generation, const gaisland *islands, int numIsland, bestgene *best) {
    for (int i = 0; i < numIsland; ++i) {
        const gagene &top = islands[i].residents[islands[i].sortedIndex[0]];
        if (best->gaGene.fitness < top.fitness) {
            best->gaGene = top;
            best->obtainedGeneration = generation;
        }
    }
    return 0;
}
