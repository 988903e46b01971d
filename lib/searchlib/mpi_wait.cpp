// Receive and probe that give the core away while they wait (see mpi_wait.h).
#include "quorvant/searchlib/mpi_wait.h"

#include <algorithm>

#include <sched.h>
#include <time.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

// The wait first polls for a short while, yielding the core between polls, because a reply to a
// job that is already running often arrives within microseconds; then it sleeps, starting with a
// short pause that doubles up to a ceiling. The ceiling bounds the delay that a wait adds to each
// message (a GA hands out one island-generation per message, which may take well under a
// millisecond); waiting at that rhythm costs about a tenth of a core (Open MPI: 0.04 s of CPU in
// a wait of 0.4 s), against nearly the whole core that a blocking receive spins away.
constexpr long kPollingNs = 30'000;         // 30 microseconds of polling
constexpr long kFirstPauseNs = 10'000;      // then 10 microseconds of sleep ...
constexpr long kLongestPauseNs = 200'000;   // ... doubling up to 200 microseconds

constexpr long kNsPerSecond = 1'000'000'000L;
// The timer slack that PreciseSleeps sets: a sleep ends within a microsecond of its time.
constexpr unsigned long kPreciseSlackNs = 1'000;

long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * kNsPerSecond + t.tv_nsec;
}

void sleepNs(long ns) {
    const timespec t{ns / kNsPerSecond, ns % kNsPerSecond};
    nanosleep(&t, nullptr);
}

// One round of waiting: yields while still in the polling phase, sleeps (and doubles the
// pause) afterwards.
class Backoff {
public:
    void pause() {
        if (nowNs() - start_ < kPollingNs) {
            sched_yield();
            return;
        }
        const timespec t{0, pause_};
        nanosleep(&t, nullptr);
        pause_ = pause_ * 2 > kLongestPauseNs ? kLongestPauseNs : pause_ * 2;
    }

private:
    long start_ = nowNs();
    long pause_ = kFirstPauseNs;
};

}  // namespace

int PoliteRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
               MPI_Status *status) {
    MPI_Request request = MPI_REQUEST_NULL;
    int rc = MPI_Irecv(buf, count, type, source, tag, comm, &request);
    if (rc != MPI_SUCCESS) return rc;
    Backoff wait;
    for (int done = 0;;) {
        rc = MPI_Test(&request, &done, status);
        if (rc != MPI_SUCCESS || done) return rc;
        wait.pause();
    }
}

int PoliteProbe(int source, int tag, MPI_Comm comm, MPI_Status *status) {
    Backoff wait;
    for (int found = 0;;) {
        const int rc = MPI_Iprobe(source, tag, comm, &found, status);
        if (rc != MPI_SUCCESS || found) return rc;
        wait.pause();
    }
}

long MonotonicNs() { return nowNs(); }

void PreciseSleeps() {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, kPreciseSlackNs, 0, 0, 0);
#endif
}

int ExpectedRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
                 MPI_Status *status, long dueNs, long pollNs) {
    MPI_Request request = MPI_REQUEST_NULL;
    int rc = MPI_Irecv(buf, count, type, source, tag, comm, &request);
    if (rc != MPI_SUCCESS) return rc;
    int done = 0;
    rc = MPI_Test(&request, &done, status);
    if (rc != MPI_SUCCESS || done) return rc;
    // 1. Asleep until the message is due.
    const long start = nowNs();
    if (dueNs > start) sleepNs(dueNs - start);
    // 2. Polling, yielding the core, for a short while after.
    const long pollEnd = std::max(dueNs, start) + pollNs;
    for (;;) {
        rc = MPI_Test(&request, &done, status);
        if (rc != MPI_SUCCESS || done) return rc;
        if (nowNs() >= pollEnd) break;
        sched_yield();
    }
    // 3. Late: the polite wait.
    Backoff wait;
    for (;;) {
        wait.pause();
        rc = MPI_Test(&request, &done, status);
        if (rc != MPI_SUCCESS || done) return rc;
    }
}

int EagerProbe(int source, int tag, MPI_Comm comm, MPI_Status *status, long pollNs) {
    const long pollEnd = nowNs() + pollNs;
    for (int found = 0;;) {
        const int rc = MPI_Iprobe(source, tag, comm, &found, status);
        if (rc != MPI_SUCCESS || found) return rc;
        if (nowNs() >= pollEnd) return PoliteProbe(source, tag, comm, status);
        sched_yield();
    }
}
