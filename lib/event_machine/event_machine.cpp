// Triggering, pending delayed firings, cancellation of non-persistent events, priorities and
// cascades at one instant.
#include "quorvant/event_machine/event_machine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "quorvant/ndflib/trigger_search.h"

namespace qv::events {

namespace {

// Firings at one instant after which the events count as not settling.
constexpr int kMaxFiringsPerInstant = 10000;
// Stops in a row, each at most kStallWidth (relative) after the one before, after which the
// triggers count as chattering.
constexpr int kMaxStalls = 1000;
constexpr double kStallWidth = 1e-9;

std::string format(const char *fmt, auto... args) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace

int EventMachine::begin(const EventModel &model, double t0, double *y, bool *fired) {
    *fired = false;
    model_ = &model;
    count_ = model.count;
    pending_.clear();
    seq_ = 0;
    stalls_ = 0;
    lastStop_ = t0;
    error_.clear();
    if (count_ == 0) return 0;
    int maxValues = 1;
    for (int k = 0; k < count_; ++k) maxValues = std::max(maxValues, static_cast<int>(model.table[k].n_values));
    try {
        const auto n = static_cast<std::size_t>(count_);
        prev_.assign(n, 0);
        on_.assign(n, 0);
        watch_.assign(n, qv::ndf::kWatchRise);
        g_.assign(n, 0.0);
        values_.assign(static_cast<std::size_t>(maxValues), 0.0);
    } catch (const std::bad_alloc &) {
        error_ = "no memory for the events of the model";
        return -1;
    }
    for (int k = 0; k < count_; ++k) prev_[static_cast<std::size_t>(k)] = model.table[k].initial_value != 0;
    return settle(t0, y, fired);
}

double EventMachine::nextDue() const {
    double due = std::numeric_limits<double>::infinity();
    for (const Pending &p : pending_) due = std::min(due, p.due);
    return due;
}

int EventMachine::stop(double t, double *y, const int *onBefore, bool *fired) {
    *fired = false;
    if (count_ == 0) return 0;
    if (std::fabs(t - lastStop_) <= kStallWidth * std::max(1.0, std::fabs(t))) {
        if (++stalls_ > kMaxStalls) {
            error_ = format("events keep stopping the run at t=%10.3E: the triggers chatter", t);
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
int EventMachine::noticeTriggers(double t, const double *y) {
    triggers(t, y, on_.data(), g_.data());
    for (int k = 0; k < count_; ++k) {
        const auto u = static_cast<std::size_t>(k);
        const qv_event &e = model_->table[k];
        const bool was = prev_[u] != 0, is = on_[u] != 0;
        prev_[u] = is;
        if (e.switch_only) continue;
        if (!was && is) {
            Pending p{k, t, seq_++, {}};
            if (e.delayed && model_->delay != nullptr) {
                const double d = model_->delay(model_->ctx, k, t, y);
                if (!(d >= 0.0) || !std::isfinite(d)) {
                    error_ = format("event %d has the delay %10.3E at t=%10.3E", k + 1, d, t);
                    return -1;
                }
                p.due = t + d;
            }
            if (e.trigger_values && e.n_values > 0) {
                p.values.assign(static_cast<std::size_t>(e.n_values), 0.0);
                model_->values(model_->ctx, k, t, y, p.values.data());
            }
            pending_.push_back(std::move(p));
        } else if (was && !is && !e.persistent) {
            std::erase_if(pending_, [k](const Pending &p) { return p.event == k; });
        }
    }
    return 0;
}

// The pending firing to carry out next at t (false when none is due). Events of equal priority
// fire in the order of their indices (the model's order).
bool EventMachine::choose(double t, const double *y, std::size_t *which) const {
    bool found = false, bestHas = false;
    double bestPriority = 0.0;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        const Pending &p = pending_[i];
        if (!(p.due <= t)) continue;
        const qv_event &e = model_->table[p.event];
        const bool has = e.prioritised != 0 && model_->priority != nullptr;
        const double priority = has ? model_->priority(model_->ctx, p.event, t, y) : 0.0;
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
    return found;
}

int EventMachine::settle(double t, double *y, bool *fired) {
    for (int firings = 0;; ++firings) {
        if (noticeTriggers(t, y) != 0) return -1;
        std::size_t which = 0;
        if (!choose(t, y, &which)) break;
        if (firings >= kMaxFiringsPerInstant) {
            error_ = format("the events at t=%10.3E do not settle after %d firings", t, firings);
            return -1;
        }
        Pending p = std::move(pending_[which]);
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(which));
        const qv_event &e = model_->table[p.event];
        const double *v = p.values.data();
        if (!e.trigger_values || p.values.empty()) {
            if (e.n_values > 0) model_->values(model_->ctx, p.event, t, y, values_.data());
            v = values_.data();
        }
        model_->assign(model_->ctx, p.event, v, y);
        *fired = true;
    }
    updateWatch();
    return 0;
}

void EventMachine::updateWatch() {
    for (int k = 0; k < count_; ++k) {
        const qv_event &e = model_->table[k];
        int w = e.switch_only ? qv::ndf::kWatchBoth : qv::ndf::kWatchRise;
        if (!e.switch_only && !e.persistent &&
            std::any_of(pending_.begin(), pending_.end(), [k](const Pending &p) { return p.event == k; }))
            w |= qv::ndf::kWatchFall;
        watch_[static_cast<std::size_t>(k)] = w;
    }
}

}  // namespace qv::events
