#!/usr/bin/env bash
# One run of a simulator program under valgrind's memcheck, inside `mpiexec -n 1`, in a temporary
# directory: the run must end with the expected status and memcheck must report no invalid access
# and no definite or indirect leak. What the MPI library itself keeps or touches is suppressed by
# tests/valgrind.supp.
#
#   valgrind_run.sh PROGRAM MODEL_FILE EXPECTED_STATUS SUPPRESSIONS MPIEXEC [MPIEXEC ARGS...]
#
# Exits 77 (reported as skipped) when valgrind is not installed.
set -u

program="$(realpath "$1")" model="$(realpath "$2")" expected="$3" supp="$(realpath "$4")"
shift 4

if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed: skipped"
  exit 77
fi

work="$(mktemp -d /tmp/qv_valgrind_XXXXXX)"
cp "$model" "$work/model.in"
cd "$work" || exit 1
# The job's MPI session directory is its own: another test's job ending cannot remove it meanwhile.
export OMPI_MCA_orte_tmpdir_base="$work/mpi"

# The status of memcheck's own findings differs from every status the simulator ends with.
memcheck_status=99
timeout -k 10 600 "$@" -n 1 valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --show-leak-kinds=definite,indirect --error-exitcode="$memcheck_status" --num-callers=30 \
  --suppressions="$supp" "$program" -Imodel.in -Oout >run.log 2>&1
status=$?

fail() {
  echo "FAILED: $*"
  echo "---- log ($work/run.log)"
  cat run.log
  exit 1
}
grep -E "ERROR SUMMARY|definitely lost|indirectly lost" run.log
[ "$status" -eq "$memcheck_status" ] && fail "memcheck found errors"
[ "$status" -eq "$expected" ] || fail "exit status $status, expected $expected"
grep -q "ERROR SUMMARY: 0 errors" run.log || fail "memcheck did not report a clean run"
if [ "$expected" -eq 0 ]; then
  grep -qx "END ALL!!" run.log || fail "the run did not end with END ALL!!"
fi
cd / && rm -rf "$work"
echo "memcheck: clean"
