// The evaluations and refinements of individuals, on this process or dealt out to the workers
// (see evaluation_farm.h). The master sends the decoded values of a contiguous run of individuals
// per message, does the last run itself, and writes the answers back in place, so the run does
// what it does on one process; every worker answers one message before it takes the next.
//
// The waits decide what a cheap evaluation costs in parallel. A worker's answer also carries the
// time the work took it, so the master knows when the next answer is due: it sleeps until just
// before then (with the timer slack lowered, so the sleep ends on time) and polls only for the
// last stretch, leaving the cores to the workers. A worker that has answered polls for the next
// job for a while, since the master usually sends it within microseconds, before it sleeps. (The
// MGG run of bench_ga_mpi on two cores, 4 islands of 30, families of 10 evaluations of about 27
// microseconds: 6.5 s on one process; on three 8.1 s with the polite waits on both sides, 5.4 s
// with blocking receives, which spin, and 4.3 s with these.)
#include "quorvant/galib/evaluation_farm.h"

#include <mpi.h>

#include <algorithm>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_i2d.h"
#include "quorvant/searchlib/mpi_wait.h"

namespace {

constexpr int kMaster = 0;
// Message tags (MPI_COMM_WORLD); distinct from those of the island grain.
constexpr int kTagEvaluate = 21;   // master -> worker: values of individuals to evaluate
constexpr int kTagRefine = 22;     // master -> worker: values of one individual to refine
constexpr int kTagResult = 23;     // worker -> master: fitnesses, or the refined values
constexpr int kTagFailed = 24;     // worker -> master: the work failed (the worker said why)
constexpr int kTagStop = 25;       // master -> worker: no more work
constexpr int kNoTask = -1;

// A batch of evaluations is cut into this many chunks per process (the master's included): more
// balance uneven costs (a search meets points whose simulation is a hundred times dearer), fewer
// save messages.
constexpr int kChunksPerProcess = 4;
// ... when a batch costs more than this per process (by the running estimate of its cost).
constexpr double kDearBatchNs = 2.0e6;
// The answer of an evaluation: one fitness per individual, then the nanoseconds it took. Of a
// refinement: the refined values, fitness, refinements, evaluations, gradients, nanoseconds.
constexpr int kEvaluateExtra = 1;
constexpr int kRefineExtra = 5;

// The master's wait: it wakes at this share of the expected time, then polls for at least
// kLatePollNs or a kLatePollShare-th of the expected time before it backs off into sleeps.
constexpr double kEarlyWake = 0.95;
constexpr long kLatePollNs = 30'000;
constexpr long kLatePollShare = 8;
// The weight of the newest measure in the running estimate of a job's cost per individual.
constexpr double kCostWeight = 0.2;
// A worker polls for its next job this long before it sleeps between polls.
constexpr long kWorkerPollNs = 1'000'000;

constexpr char kMsgSend[] = " ## Error: MPI_Send(In the evaluation farm).\n";
constexpr char kMsgRecv[] = " ## Error: MPI_Recv(In the evaluation farm).\n";
constexpr char kMsgWorkerFailed[] = " ## Error: The work dealt out to rank %d failed.\n";
constexpr char kMsgUnexpected[] = " ## System Error: In the evaluation farm.\n";

// What the master knows of one kind of job (evaluation or refinement).
struct Job {
    int tag;
    double costNs = 0.0;   // running estimate per individual; 0 until the first answer
};

// What the master knows of one worker.
struct Worker {
    int task = kNoTask;    // the task it works on
    int items = 0;         // individuals in it
    long sentNs = 0;       // when it was sent
};

// The master's state while the farm is open; the buffers only grow.
struct Farm {
    bool open = false;
    int numProcs = 0;
    std::vector<double> values;   // numVariable values per individual of the batch
    std::vector<double> reply;
    std::vector<double> own;      // the master's own answer
    std::vector<Worker> workers;  // by rank (entry 0 unused)
    Job evaluate{kTagEvaluate};
    Job refine{kTagRefine};
};

Farm farm;

int numVariable(const gaparam *param) { return param->gaEncodeParam.numVariable; }

// The master's wait for the first answer due.
int waitReply(const Job &job, int count, MPI_Status *status) {
    long due = 0;
    long expected = 0;
    bool any = false;
    for (int rank = 1; rank < farm.numProcs; ++rank) {
        const Worker &w = farm.workers[rank];
        if (w.task == kNoTask) continue;
        const long cost = static_cast<long>(job.costNs * w.items);
        const long wake = w.sentNs + static_cast<long>(kEarlyWake * static_cast<double>(cost));
        if (!any || wake < due) {
            due = wake;
            expected = cost;
        }
        any = true;
    }
    return ExpectedRecv(farm.reply.data(), count, MPI_DOUBLE, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, status,
                        due, std::max(kLatePollNs, expected / kLatePollShare));
}

// Deals tasks 0 .. numTasks-1 out: task t is the individuals [first(t), first(t + 1)) of a batch
// of count, whose n values each are in farm.values. Every worker gets one task; then, while tasks
// are left, the master does the next one itself with own(first, last, answer) and after each one
// hands the next to every worker that has answered meanwhile, so that no core waits and dear
// individuals do not hold the others up; with no task left it waits for the answers still out.
// Every answer (replyPerItem doubles per individual and `extra` after them) goes to
// take(first, last, answer). 0 or -1.
template <class Take, class Own>
int deal(Job &job, int count, int numTasks, int n, int replyPerItem, int extra, Take take, Own own) {
    auto first = [&](int t) { return static_cast<int>(static_cast<long>(t) * count / numTasks); };
    const int longest = (count + numTasks - 1) / numTasks * replyPerItem + extra;
    if (farm.reply.size() < static_cast<size_t>(longest)) farm.reply.resize(static_cast<size_t>(longest));
    if (farm.own.size() < static_cast<size_t>(longest)) farm.own.resize(static_cast<size_t>(longest));
    int next = 0, out = 0;
    auto send = [&](int rank) {
        const int a = first(next), b = first(next + 1);
        if (MPI_Send(farm.values.data() + static_cast<size_t>(a) * n, (b - a) * n, MPI_DOUBLE, rank, job.tag,
                     MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgSend);
            return -1;
        }
        farm.workers[rank] = {next++, b - a, MonotonicNs()};
        ++out;
        return 0;
    };
    // One answer (found by the probe and received here, or received by the wait): taken, and the
    // worker given the next task if one is left.
    auto collect = [&](MPI_Status status, bool received) {
        int length = 0;
        if ((!received && MPI_Recv(farm.reply.data(), longest, MPI_DOUBLE, status.MPI_SOURCE, status.MPI_TAG,
                                   MPI_COMM_WORLD, &status) != MPI_SUCCESS) ||
            MPI_Get_count(&status, MPI_DOUBLE, &length) != MPI_SUCCESS) {
            log_sys(kMsgRecv);
            return -1;
        }
        const int from = status.MPI_SOURCE;
        if (status.MPI_TAG == kTagFailed) {
            log_sys(kMsgWorkerFailed, from);
            return -1;
        }
        Worker *w = from > kMaster && from < farm.numProcs ? &farm.workers[from] : nullptr;
        if (status.MPI_TAG != kTagResult || w == nullptr || w->task == kNoTask ||
            length != w->items * replyPerItem + extra) {
            log_sys(kMsgUnexpected);
            return -1;
        }
        const double costNs = farm.reply[length - 1] / w->items;
        job.costNs = job.costNs == 0.0 ? costNs : (1.0 - kCostWeight) * job.costNs + kCostWeight * costNs;
        const int t = w->task;
        w->task = kNoTask;
        --out;
        take(first(t), first(t + 1), farm.reply.data());
        return next < numTasks ? send(from) : 0;
    };
    for (int rank = 1; rank < farm.numProcs && next < numTasks; ++rank)
        if (send(rank) == -1) return -1;
    while (next < numTasks) {
        const int t = next++;
        if (own(first(t), first(t + 1), farm.own.data()) == -1) return -1;
        take(first(t), first(t + 1), farm.own.data());
        for (;;) {
            int arrived = 0;
            MPI_Status status;
            if (MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &arrived, &status) != MPI_SUCCESS) {
                log_sys(kMsgRecv);
                return -1;
            }
            if (!arrived) break;
            if (collect(status, false) == -1) return -1;
        }
    }
    while (out > 0) {
        MPI_Status status;
        if (waitReply(job, longest, &status) != MPI_SUCCESS) {
            log_sys(kMsgRecv);
            return -1;
        }
        if (collect(status, true) == -1) return -1;
    }
    return 0;
}

// One refinement of the n values x into answer: the refined values, their fitness and what it
// spent (the layout of a worker's answer but for its time). 0 or -1.
int refineInto(const gaparam *param, const double *x, int n, double *answer) {
    std::copy(x, x + n, answer);
    refinetotals spent{0, 0, 0};
    if (RefineValues(param, answer, &answer[n], &spent) == -1) return -1;
    answer[n + 1] = static_cast<double>(spent.refinements);
    answer[n + 2] = static_cast<double>(spent.evaluations);
    answer[n + 3] = static_cast<double>(spent.gradients);
    return 0;
}

}  // namespace

int EvaluateGenes(const gaparam *param, gagene *const *genes, int count) {
    if (!farm.open) {
        for (int k = 0; k < count; ++k)
            if (Fitness(param, genes[k], &genes[k]->fitness) == -1) return -1;
        return 0;
    }
    if (count <= 0) return 0;
    const int n = numVariable(param);
    farm.values.resize(static_cast<size_t>(count) * n);
    for (int k = 0; k < count; ++k)
        if (GeneToValues(param, genes[k], farm.values.data() + static_cast<size_t>(k) * n) != 0) return -1;
    // Cheap batches go out in one run per process: there the messages weigh more than uneven costs.
    const bool dear = farm.evaluate.costNs * count > kDearBatchNs * farm.numProcs;
    const int numTasks = std::min(count, farm.numProcs * (dear ? kChunksPerProcess : 1));
    return deal(
        farm.evaluate, count, numTasks, n, 1, kEvaluateExtra,
        [&](int a, int b, const double *fitness) {
            for (int k = a; k < b; ++k) genes[k]->fitness = fitness[k - a];
        },
        [&](int a, int b, double *fitness) {
            for (int k = a; k < b; ++k)
                if (FitnessOfValues(param, farm.values.data() + static_cast<size_t>(k) * n, &fitness[k - a]) == -1) return -1;
            return 0;
        });
}

int RefineGenes(gaparam *param, gagene *const *genes, int count) {
    const int n = numVariable(param);
    refinetotals &spent = param->refineTotals;
    if (!farm.open) {
        for (int k = 0; k < count; ++k)
            if (RefineValues(param, genes[k]->gene_r, &genes[k]->fitness, &spent) == -1) return -1;
        return 0;
    }
    if (count <= 0) return 0;
    farm.values.resize(static_cast<size_t>(count) * n);
    for (int k = 0; k < count; ++k)
        std::copy(genes[k]->gene_r, genes[k]->gene_r + n, farm.values.data() + static_cast<size_t>(k) * n);
    return deal(
        farm.refine, count, count, n, n, kRefineExtra,
        [&](int a, int, const double *answer) {
            std::copy(answer, answer + n, genes[a]->gene_r);
            genes[a]->fitness = answer[n];
            spent.refinements += static_cast<long>(answer[n + 1]);
            spent.evaluations += static_cast<long>(answer[n + 2]);
            spent.gradients += static_cast<long>(answer[n + 3]);
        },
        [&](int a, int, double *answer) { return refineInto(param, farm.values.data() + static_cast<size_t>(a) * n, n, answer); });
}

EvaluationFarm::EvaluationFarm(const gaparam *param) : open_(true) {
    PreciseSleeps();
    farm.open = true;
    farm.numProcs = param->mpiInfo.numProcs;
    farm.workers.assign(static_cast<size_t>(std::max(farm.numProcs, 1)), Worker{});
}

EvaluationFarm::~EvaluationFarm() { close(); }

int EvaluationFarm::close() {
    if (!open_) return 0;
    open_ = false;
    farm.open = false;
    for (int rank = 1; rank < farm.numProcs; ++rank) {
        if (MPI_Send(nullptr, 0, MPI_DOUBLE, rank, kTagStop, MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgSend);
            return -1;
        }
    }
    return 0;
}

int EvaluationWorker(const gaparam *param) {
    PreciseSleeps();
    const int n = numVariable(param);
    std::vector<double> work(static_cast<size_t>(n));
    std::vector<double> reply(static_cast<size_t>(n + kRefineExtra));
    for (;;) {
        MPI_Status status;
        int length = 0;
        if (EagerProbe(kMaster, MPI_ANY_TAG, MPI_COMM_WORLD, &status, kWorkerPollNs) != MPI_SUCCESS ||
            MPI_Get_count(&status, MPI_DOUBLE, &length) != MPI_SUCCESS || length < 0) {
            log_sys(kMsgRecv);
            return -1;
        }
        if (static_cast<size_t>(length) > work.size()) work.resize(static_cast<size_t>(length));
        const int tag = status.MPI_TAG;
        if (MPI_Recv(work.data(), length, MPI_DOUBLE, kMaster, tag, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS) {
            log_sys(kMsgRecv);
            return -1;
        }
        if (tag == kTagStop) return 0;
        const long start = MonotonicNs();
        int rc = 0;
        int answer = 0;
        if (tag == kTagEvaluate && length % n == 0) {
            const int items = length / n;
            answer = items + kEvaluateExtra;
            if (static_cast<size_t>(answer) > reply.size()) reply.resize(static_cast<size_t>(answer));
            for (int k = 0; k < items && rc == 0; ++k)
                rc = FitnessOfValues(param, work.data() + static_cast<size_t>(k) * n, &reply[k]);
        } else if (tag == kTagRefine && length == n) {
            rc = refineInto(param, work.data(), n, reply.data());
            answer = n + kRefineExtra;
        } else {
            log_sys(kMsgUnexpected);
            rc = -1;
        }
        if (rc != 0) {
            MPI_Send(nullptr, 0, MPI_DOUBLE, kMaster, kTagFailed, MPI_COMM_WORLD);
            return -1;
        }
        reply[answer - 1] = static_cast<double>(MonotonicNs() - start);
        if (MPI_Send(reply.data(), answer, MPI_DOUBLE, kMaster, kTagResult, MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgSend);
            return -1;
        }
    }
}
