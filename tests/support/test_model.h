// A model for unit tests: usr_fvec and usr_fjac forward to functions each test installs.
#ifndef QUORVANT_TEST_MODEL_H
#define QUORVANT_TEST_MODEL_H

#include "quorvant/model.h"

using TestFvec = void (*)(double *dydt, double *y, double g, parameter *p);
using TestFjac = void (*)(double **jac, double *y, double g, parameter *p);

// Installs the model used by usr_fvec/usr_fjac; counts calls of each since the last install.
void setTestModel(TestFvec f, TestFjac j);
long testFvecCalls();
long testFjacCalls();

#endif
