// The simulation driver: one run of the loaded model, dispatched on the solver number to a
// time course with the time events of the model file (Runge-Kutta or NDF paths) or a steady state
// (Newton-Raphson, or the S-system analysis where the program includes it).
#include "quorvant/quorvant_baselib/dosolver.h"

#include <cstdlib>

#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/dosolver11.h"
#include "quorvant/quorvant_baselib/dosolver1_2.h"
#include "quorvant/quorvant_baselib/dosolver3.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/model.h"

int (*Qv_doSolver12)(double *y) = nullptr;

int DoSolver(const parameter &snap, double dt, double t_start, double t_end, double dm,
             double *y_init, double *y, double *y_pre) {
    switch (SolverNo) {
    case 1:
    case 2:
        return doSolver1_2(snap, dt, t_start, t_end, dm, y_init, y, y_pre);
    case 3:
        return doSolver3(snap, dt, t_start, t_end, dm, y_init, y, y_pre);
    case 11:
        return doSolver11(y, y_pre);
    case 12:
        if (Qv_doSolver12) return Qv_doSolver12(y);
        break;
    default:
        break;
    }
    log_sys("## Wrong Solver!! No =%3d\n", SolverNo);
    std::exit(-1);
}
