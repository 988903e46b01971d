// Parent selection: roulette (probability proportional to fitness above the island's worst),
// tournament and uniform random choice. Every strategy fills the parent list with distinct
// resident indices, slot 0 first, redrawing a slot whose draw is already in the list.
#include <array>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/selection.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// Bounds on redraws. Roulette: a wheel whose non-zero slices are fewer than the parents wanted
// cannot complete (zero-width slices are hit only on exact boundaries); after this many draws per
// parent the selection fails like the up-front check. Tournament: with a tournament nearly as
// large as the island, the winner is almost always a parent already chosen; after this many
// tournaments for one slot, the best individual not yet chosen is taken (the limit of a large
// tournament).
constexpr int kMaxRouletteDrawsPerParent = 100000;
constexpr int kMaxTournamentsPerSlot = 10000;

constexpr char kMsgInfiniteRoulette[] = " ## Error: Infinite roop in roulette.\n";
constexpr char kMsgRouletteSystem[] = " ## System Error:In SelectRoulette.\n";
constexpr char kMsgSelectParent[] = " ## System Error: In SelectParent.\n";
constexpr char kMsgTournamentBound[] =
    " ## Warning: Tournament selection kept drawing parents already chosen; the best individual "
    "not yet chosen was taken (reported once).\n";

bool tournamentBoundReported = false;

double fitnessAt(const gaisland *island, int position) {
    return island->residents[island->sortedIndex[position]].fitness;
}

// More distinct parents than residents can never be drawn (the configuration rules this out).
int tooFewResidents() {
    log_sys(kMsgSelectParent);
    return -1;
}

}  // namespace

int check_select_no(const int *list, int count, int index) {
    for (int i = 0; i < count; ++i)
        if (list[i] == index) return 2;
    return 1;
}

int search_roulette_index(const double *cumulative, int n, double r) {
    int lo = 0;
    int hi = n - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const double prev = mid == 0 ? 0.0 : cumulative[mid - 1];
        const double cur = cumulative[mid];
        if (prev <= r && r <= cur) return mid;
        if (r < prev)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -1;
}

int SelectRoulette(const gaisland *island, int numParent, int *parents) {
    const int n = island->population;
    const double worst = fitnessAt(island, n - 1);
    std::array<double, qv::kGaMaxPopulation> cum;
    cum[0] = fitnessAt(island, 0) - worst;
    int zeros = 0;
    for (int i = 1; i < n; ++i) {
        cum[i] = cum[i - 1] + fitnessAt(island, i) - worst;
        if (cum[i] == 0.0) ++zeros;
    }
    if (n - zeros < numParent) {
        log_sys(kMsgInfiniteRoulette);
        return -1;
    }
    const double total = cum[n - 1];
    const long maxDraws = static_cast<long>(kMaxRouletteDrawsPerParent) * numParent;
    long draws = 0;
    for (int chosen = 0; chosen < numParent;) {
        if (++draws > maxDraws) {
            log_sys(kMsgInfiniteRoulette);
            return -1;
        }
        const double r = GenUniformRand(0.0, total);
        const int p = search_roulette_index(cum.data(), n, r);
        if (p == -1) {
            log_sys(kMsgRouletteSystem);
            return -1;
        }
        const int index = island->sortedIndex[p];
        if (check_select_no(parents, chosen, index) == 1) parents[chosen++] = index;
    }
    return 0;
}

int SelectTournament(const gaisland *island, int numParent, int tournamentSize, int *parents) {
    const int n = island->population;
    if (numParent > n) return tooFewResidents();
    for (int chosen = 0; chosen < numParent; ++chosen) {
        int tournaments = 0;
        for (;;) {
            if (++tournaments > kMaxTournamentsPerSlot) {
                if (!tournamentBoundReported) log_sys(kMsgTournamentBound);
                tournamentBoundReported = true;
                for (int pos = 0; pos < n; ++pos) {
                    const int index = island->sortedIndex[pos];
                    if (check_select_no(parents, chosen, index) == 1) {
                        parents[chosen] = index;
                        break;
                    }
                }
                break;
            }
            int winner = GenIntRand(0, n);
            for (int t = 1; t < tournamentSize; ++t) {
                const int challenger = GenIntRand(0, n);
                if (fitnessAt(island, challenger) > fitnessAt(island, winner)) winner = challenger;
            }
            const int index = island->sortedIndex[winner];
            if (check_select_no(parents, chosen, index) == 1) {
                parents[chosen] = index;
                break;
            }
        }
    }
    return 0;
}

int SelectRandom(const gaisland *island, int numParent, int *parents) {
    const int n = island->population;
    if (numParent > n) return tooFewResidents();
    for (int chosen = 0; chosen < numParent;) {
        const int index = island->sortedIndex[GenIntRand(0, n)];
        if (check_select_no(parents, chosen, index) == 1) parents[chosen++] = index;
    }
    return 0;
}

int SelectParent(const gaparam *param, const gaisland *island, int *parents) {
    const int numParent = param->crossoverParam.numParent;
    switch (param->digenesisParam.selectionType) {
        case SelectionType::Roulette:
            return SelectRoulette(island, numParent, parents);
        case SelectionType::Tournament:
            return SelectTournament(island, numParent, param->digenesisParam.tournamentSize, parents);
        case SelectionType::Random:
            return SelectRandom(island, numParent, parents);
        default:
            log_sys(kMsgSelectParent);
            return -1;
    }
}
