// The search region of the GA: the box of the model file's GA ranges and its grid steps.
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/quorvant_baselib/model_tables.h"

namespace {
constexpr char kMsgTooManyVariables[] =
    " ## Error: Number of variables must be smaller than equal %d\n";
}  // namespace

int ga_variable_limit() { return P_GaMax < qv::kGaVariableRoom ? P_GaMax : qv::kGaVariableRoom; }

int ReadRegionFromQV(gaparam *param) {
    // The program's limit (P_GaMax: 20, or more for a model with its own objective), within the
    // room of the tables.
    const int limit = ga_variable_limit();
    if (P_GaNum > limit) {
        log_sys(kMsgTooManyVariables, limit);
        return -1;
    }
    variableregion &region = param->variableRegion;
    const int n = P_GaNum > 0 ? P_GaNum : 0;
    // The bounds are taken as the model file gives them.
    for (int k = 0; k < n; ++k) {
        region.minArray[k] = P_Ga[k].min_value;
        region.maxArray[k] = P_Ga[k].max_value;
    }
    region.arraySize = n;
    param->gaEncodeParam.numVariable = n;
    return 0;
}

// One quantum of every variable: the range over 2^q - 1 steps, so that index 0 is the lower and
// index 2^q - 1 the upper bound. Real-coded genes (q = 1) get the width of the range.
int SetDelta(gaparam *param) {
    const int q = param->gaEncodeParam.quantumNumber > 1 ? param->gaEncodeParam.quantumNumber : 1;
    const double steps = std::ldexp(1.0, q) - 1.0;
    variableregion &region = param->variableRegion;
    int n = param->gaEncodeParam.numVariable;
    n = n < 0 ? 0 : (n > qv::kGaVariableRoom ? qv::kGaVariableRoom : n);
    for (int k = 0; k < n; ++k) region.delta[k] = (region.maxArray[k] - region.minArray[k]) / steps;
    return 0;
}
