// The serial GA with minimal generation gap (MGG): per generation and island one family of
// children is made from randomly drawn parents, and two parents are replaced by the family's best
// and by one more member chosen by roulette.
#include "ga_run.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/crossover.h"
#include "quorvant/galib/digenesis_mgg.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/island_operations.h"
#include "quorvant/galib/selection.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// The second survivor is drawn by roulette until it is not the elite. When every other member has
// the family's lowest fitness their slices have zero width and the draw almost never ends: after
// this many draws the best member other than the elite survives instead.
constexpr int kMaxSecondSurvivorDraws = 1000;

constexpr char kMsgMggStep[] = " ## System Error: In IslandMggDigenesis.\n";
constexpr char kMsgSecondSurvivor[] =
    " ## Warning: MGG roulette drew only the elite in 1000 draws; the best other family member "
    "survives (reported once).\n";

bool secondSurvivorReported = false;

// The family of one step: children 0 .. m_c-1, then copies of the two parents that may be
// replaced. Made once per process (it holds the capacity of a whole island).
gaisland &family() {
    static gaisland f{};
    return f;
}

}  // namespace

int IslandMggDigenesis(const gaparam *param, gaisland *island) {
    const int numChildren = param->digenesisParam.numMGGChildren;
    const int numParent = param->crossoverParam.numParent;
    if (numParent < 2 || numChildren < 1 || numChildren > qv::kGaMaxMggChildren) {
        log_sys(kMsgMggStep);
        return -1;
    }
    gaisland &fam = family();
    int parents[qv::kGaVariableRoom + 2];

    // 1. The parents.
    if (SelectParent(param, island, parents) == -1) return -1;

    // 2. The children, all from the same parents.
    const int step = param->gaEncodeParam.encodeType == EncodeType::Real ? 1 : 2;
    for (int i = 0; i < numChildren; i += step)
        if (Crossover(param, island->residents, parents, &fam.residents[i]) == -1) return -1;

    // 3. Evaluate the children (sorted positions 0 .. m_c-1 while the order is the identity).
    fam.population = numChildren + 2;
    for (int i = 0; i < fam.population; ++i) fam.sortedIndex[i] = i;
    if (IslandFitness(param, &fam, 0, numChildren) == -1) return -1;

    // 4. Two distinct parent positions a and b join the family with their fitness.
    const int a = GenIntRand(0, numParent);
    int b = GenIntRand(0, numParent);
    while (b == a) b = GenIntRand(0, numParent);
    fam.residents[numChildren] = island->residents[parents[a]];
    fam.residents[numChildren + 1] = island->residents[parents[b]];

    // 5.-6. The family's best survives, and one more member chosen by roulette.
    SortByFitness(&fam);
    const int elite = fam.sortedIndex[0];
    int second = elite;
    for (int draw = 0; second == elite; ++draw) {
        if (draw == kMaxSecondSurvivorDraws) {
            if (!secondSurvivorReported) log_sys(kMsgSecondSurvivor);
            secondSurvivorReported = true;
            second = fam.sortedIndex[1];
            break;
        }
        if (SelectRoulette(&fam, 1, &second) == -1) return -1;
    }

    // 7. They take the places of parents a and b.
    island->residents[parents[a]] = fam.residents[elite];
    island->residents[parents[b]] = fam.residents[second];
    return 0;
}

// One generation of one island: one MGG step, then (with a mutation) the whole island mutated and
// evaluated again, and the new order.
int MggIslandGeneration(const gaparam *param, gaisland *island) {
    const int population = param->gaTypeParam.islandPopulation;
    if (param->crossoverParam.crossoverType != CrossoverType::None && IslandMggDigenesis(param, island) == -1)
        return -1;
    if (param->mutationParam.mutationType != MutationType::None) {
        if (IslandMutation(param, island, 0, population) == -1) return -1;
        if (IslandFitness(param, island, 0, population) == -1) return -1;
    }
    return SortByFitness(island);
}

int MGGExecute(gaparam *param) { return RunSerialGa(param, MggIslandGeneration); }
