// Fixed sizes of the model tables and the searches. They are the system's documented limits.
#ifndef QUORVANT_COMMON_LIMITS_H
#define QUORVANT_COMMON_LIMITS_H

namespace qv {

constexpr int kMaxVar = 512;              // N_VAR may be 1..512
constexpr int kStateSize = kMaxVar + 1;   // state arrays are addressed 1..n, element 0 unused
constexpr int kMaxParamNo = 128;          // parameter numbers 1..127 (slot 0 unused)
constexpr int kMaxUserParams = 124;       // 128 names less the four event names
constexpr int kMaxValIndex = 511;         // value indices 1..511 (val[p][0] unused)
constexpr int kMaxEvents = 50;            // time events, the two closing events included
constexpr int kMaxSurvey = 5;             // survey entries
constexpr int kMaxGaSearch = 20;          // search variables in gasearch and rsearch
constexpr int kMaxGaSimulator = 28;       // search variables accepted by simulator
// Search variables of a model with its own objective (quorvant/model_objective.h), an estimation
// problem: every program accepts this many for such a model, and the search tables hold them.
constexpr int kMaxSearchVariables = 256;
constexpr int kSearchTableSize = kMaxSearchVariables > kMaxGaSimulator ? kMaxSearchVariables : kMaxGaSimulator;
constexpr int kTagLen = 64;               // tag texts keep at most 63 characters
constexpr int kNameLen = 16;              // parameter names keep at most 15 characters
constexpr int kLineLen = 512;             // input lines hold at most 511 characters

}  // namespace qv

#endif
