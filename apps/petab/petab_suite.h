// The PEtab test suite runner: every case of a directory evaluated and compared with its solution.
#ifndef QUORVANT_APPS_PETAB_PETAB_SUITE_H
#define QUORVANT_APPS_PETAB_PETAB_SUITE_H

#include <string>

namespace qv::petab_tool {

// Runs the cases of cases_dir (subdirectories named by 4 digits) on jobs threads, one line per case
// in id order, then the totals. Returns the exit status: 0 when the cases ran, 1 when none could be
// listed or fewer than min_passed (when >= 0) passed.
int run_suite(const std::string &cases_dir, int jobs, long min_passed);

}  // namespace qv::petab_tool

#endif
