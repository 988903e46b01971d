// The fitness of a model generated with measurements (sbml_import --data): how far a stored time
// course lies from the measurements.
#ifndef QUORVANT_SBML_RUNTIME_DATA_FITNESS_H
#define QUORVANT_SBML_RUNTIME_DATA_FITNESS_H

#include "quorvant/model.h"

namespace qv::sbml_runtime {

// The measurements as the generated source holds them: times, the observable of each column,
// whether the column holds an amount (else a concentration), and the values (NaN where a cell
// was empty), row after row.
struct DataTable {
    int rows = 0;
    int cols = 0;
    const double *time = nullptr;      // [rows], increasing
    const int *observable = nullptr;   // [cols]
    const int *in_amount = nullptr;    // [cols]
    const double *values = nullptr;    // [rows * cols]
};

// The model's observer (qv_sbml_observe) and the space it writes into (one value per observable
// in each array), so that a fitness evaluation allocates nothing.
struct Observer {
    void (*observe)(const double *y, parameter *p, double *amount, double *concentration) = nullptr;
    double *amount = nullptr;
    double *concentration = nullptr;
};

// Minus the sum of squared differences between the stored time course solution[0 .. steps - 1]
// (time in column 0) and the measurements, relative where the measured value is not 0; the course
// is interpolated linearly between rows when no row has a measurement's time, and a measurement
// outside the course costs a fixed penalty. Larger is better, 0 is a perfect fit. A failed run
// (status not 0, no rows, var not the model's state count, no parameter record) scores -1e10.
double data_fitness(const DataTable &data, const Observer &observer, double **solution, int steps, int var,
                    int states, int status, parameter *p);

}  // namespace qv::sbml_runtime

#endif
