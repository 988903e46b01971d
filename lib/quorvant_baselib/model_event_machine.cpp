// The run-time side of a model's events: triggering, pending delayed firings, cancellation of
// non-persistent ones, priorities and cascades at one instant.
#include "quorvant/quorvant_baselib/model_event_machine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/model_events.h"
#include "quorvant/ndflib/trigger_search.h"
#include "quorvant/quorvant_baselib/model_tables.h"

// A model without events does not define these.
extern "C" {
extern const int32_t qv_event_count __attribute__((weak));
extern const qv_event qv_events[] __attribute__((weak));
void qv_event_triggers(double t, const double *y, parameter *p, int32_t *on, double *g) __attribute__((weak));
double qv_event_delay(int32_t k, double t, const double *y, parameter *p) __attribute__((weak));
double qv_event_priority(int32_t k, double t, const double *y, parameter *p) __attribute__((weak));
void qv_event_values(int32_t k, double t, const double *y, parameter *p, double *v) __attribute__((weak));
void qv_event_assign(int32_t k, const double *v, double *y, parameter *p) __attribute__((weak));
}

namespace {

// Firings at one instant after which the events count as not settling.
constexpr int kMaxFiringsPerInstant = 10000;
// Stops in a row, each at most kStallWidth (relative) after the one before, after which the
// triggers count as chattering.
constexpr int kMaxStalls = 1000;
constexpr double kStallWidth = 1e-9;

}  // namespace

bool modelHasEvents() {
    return &qv_event_count != nullptr && qv_events != nullptr && qv_event_triggers != nullptr &&
           qv_event_values != nullptr && qv_event_assign != nullptr && qv_event_count > 0;
}

int ModelEventMachine::triggers(double t, const double *y, int *on, double *g) {
    static_assert(sizeof(int) == sizeof(int32_t));
    qv_event_triggers(t, y, &Param, reinterpret_cast<int32_t *>(on), g);
    return 0;
}

int ModelEventMachine::begin(double t0, double *y, bool *fired) {
    *fired = false;
    count_ = modelHasEvents() ? qv_event_count : 0;
    pending_.clear();
    seq_ = 0;
    stalls_ = 0;
    lastStop_ = t0;
    if (count_ == 0) return 0;
    int maxValues = 1;
    for (int k = 0; k < count_; ++k) maxValues = std::max(maxValues, static_cast<int>(qv_events[k].n_values));
    try {
        const auto n = static_cast<std::size_t>(count_);
        prev_.assign(n, 0);
        on_.assign(n, 0);
        watch_.assign(n, qv::ndf::kWatchRise);
        g_.assign(n, 0.0);
        values_.assign(static_cast<std::size_t>(maxValues), 0.0);
    } catch (const std::bad_alloc &) {
        log_sys("## Error!! no memory for the events of the model\n");
        return -1;
    }
    for (int k = 0; k < count_; ++k) prev_[static_cast<std::size_t>(k)] = qv_events[k].initial_value != 0;
    return settle(t0, y, fired);
}

double ModelEventMachine::nextDue() const {
    double due = std::numeric_limits<double>::infinity();
    for (const Pending &p : pending_) due = std::min(due, p.due);
    return due;
}

int ModelEventMachine::stop(double t, double *y, const int *onBefore, bool *fired) {
    *fired = false;
    if (count_ == 0) return 0;
    if (std::fabs(t - lastStop_) <= kStallWidth * std::max(1.0, std::fabs(t))) {
        if (++stalls_ > kMaxStalls) {
            log_sys("## Error!! events keep stopping the run at t=%10.3E: the triggers chatter\n", t);
            return -1;
        }
    } else {
        stalls_ = 0;
    }
    lastStop_ = t;
    if (onBefore != nullptr)
        for (int k = 0; k < count_; ++k) prev_[static_cast<std::size_t>(k)] = onBefore[k] != 0;
    return settle(t, y, fired);
}

// New triggerings (pending firings, with the values of the trigger time if the event keeps them)
// and cancellations of non-persistent events whose trigger is false again.
int ModelEventMachine::noticeTriggers(double t, const double *y) {
    triggers(t, y, on_.data(), g_.data());
    for (int k = 0; k < count_; ++k) {
        const auto u = static_cast<std::size_t>(k);
        const qv_event &e = qv_events[k];
        const bool was = prev_[u] != 0, is = on_[u] != 0;
        prev_[u] = is;
        if (e.switch_only) continue;
        if (!was && is) {
            Pending p{k, t, seq_++, {}};
            if (e.delayed) {
                const double d = qv_event_delay(k, t, y, &Param);
                if (!(d >= 0.0) || !std::isfinite(d)) {
                    log_sys("## Error!! event %d has the delay %10.3E at t=%10.3E\n", k + 1, d, t);
                    return -1;
                }
                p.due = t + d;
            }
            if (e.trigger_values && e.n_values > 0) {
                p.values.assign(static_cast<std::size_t>(e.n_values), 0.0);
                qv_event_values(k, t, y, &Param, p.values.data());
            }
            pending_.push_back(std::move(p));
        } else if (was && !is && !e.persistent) {
            std::erase_if(pending_, [k](const Pending &p) { return p.event == k; });
        }
    }
    return 0;
}

// The pending firing to carry out next at t: 1 with *which set, 0 when none is due. Events of
// equal priority fire in the order of their indices (the model's order).
int ModelEventMachine::choose(double t, const double *y, std::size_t *which) const {
    bool found = false, bestHas = false;
    double bestPriority = 0.0;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        const Pending &p = pending_[i];
        if (!(p.due <= t)) continue;
        const qv_event &e = qv_events[p.event];
        const bool has = e.prioritised != 0 && qv_event_priority != nullptr;
        const double priority = has ? qv_event_priority(p.event, t, y, &Param) : 0.0;
        if (!found) {
            found = true;
            *which = i;
            bestHas = has;
            bestPriority = priority;
            continue;
        }
        const Pending &b = pending_[*which];
        bool better = false;
        if (has != bestHas) {
            better = has;
        } else if (has && priority != bestPriority) {
            better = priority > bestPriority;
        } else {
            better = p.event < b.event || (p.event == b.event && p.seq < b.seq);
        }
        if (better) {
            *which = i;
            bestHas = has;
            bestPriority = priority;
        }
    }
    return found ? 1 : 0;
}

int ModelEventMachine::settle(double t, double *y, bool *fired) {
    for (int firings = 0;; ++firings) {
        if (noticeTriggers(t, y) != 0) return -1;
        std::size_t which = 0;
        const int rc = choose(t, y, &which);
        if (rc < 0) return -1;
        if (rc == 0) break;
        if (firings >= kMaxFiringsPerInstant) {
            log_sys("## Error!! the events at t=%10.3E do not settle after %d firings\n", t, firings);
            return -1;
        }
        Pending p = std::move(pending_[which]);
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(which));
        const qv_event &e = qv_events[p.event];
        const double *v = p.values.data();
        if (!e.trigger_values || p.values.empty()) {
            if (e.n_values > 0) qv_event_values(p.event, t, y, &Param, values_.data());
            v = values_.data();
        }
        qv_event_assign(p.event, v, y, &Param);
        *fired = true;
    }
    updateWatch();
    return 0;
}

void ModelEventMachine::updateWatch() {
    for (int k = 0; k < count_; ++k) {
        const qv_event &e = qv_events[k];
        int w = e.switch_only ? qv::ndf::kWatchBoth : qv::ndf::kWatchRise;
        if (!e.switch_only && !e.persistent &&
            std::any_of(pending_.begin(), pending_.end(), [k](const Pending &p) { return p.event == k; }))
            w |= qv::ndf::kWatchFall;
        watch_[static_cast<std::size_t>(k)] = w;
    }
}
