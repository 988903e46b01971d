#!/usr/bin/env bash
# qv_results on a big file: the simulator writes a parameter survey of the linear chain (10 cases,
# two variables, one row every 0.01 time units) long enough to make a result file of about the
# size asked for (100 MB by default); then `qv_results csv` and `qv_results plot` (SVG) run on it,
# each timed with its peak resident memory. A second file of a tenth of the size shows whether the
# memory grows with the file (it should not: both readers stream, the picture keeps a bounded
# envelope per series).
#
#   bench_results [megabytes]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
simulator="${QV_BENCH_SIMULATOR:-$here/qv_results_bench_simulator}"
tool="${QV_BENCH_RESULTS:-$here/qv_results}"
mpiexec=("${QV_BENCH_MPIEXEC:-@BENCH_MPIEXEC@}")
megabytes="${1:-100}"

if "${mpiexec[0]}" --version 2>/dev/null | grep -q "Open MPI\|OpenRTE"; then
  mpiexec+=(--oversubscribe)
  [ "$(id -u)" = 0 ] && mpiexec+=(--allow-run-as-root)
fi
command -v /usr/bin/time >/dev/null || { echo "bench_results: needs /usr/bin/time (Debian package time)"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A row is 35 bytes ("%10.3E" for the time and two values); 10 cases.
rows_per_case() { echo $(( $1 * 1000000 / 35 / 10 )); }

make_survey() {   # megabytes, output name
  local t_end
  t_end=$(( $(rows_per_case "$1") / 100 ))
  cat > survey.in <<IN
SOLVER;1
P_SURVEY;1
PARALLEL;1
N_VAR;2
G_VALUE;1.0
T_START;0
T_END;$t_end
DELTA_T;0.01
DELTA_M;0.01
PARAM_NAME;k1
PARAM_NAME;k2
PARAM;k1;1;0.001;;5;D;0.001;;;rate_X1_to_X2
PARAM;k2;1;0.0003;;2;R;2.0;;;rate_X2_out
Y_START;1;1.0;X1
Y_START;2;0.5;X2
IN
  "${mpiexec[@]}" -n 2 "$simulator" -Isurvey.in -O"$2" > /dev/null
  rm -f "$2"_0 "$2"_1
}

measure() {   # label, command...
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o time.txt "$@" > /dev/null
  read -r seconds kilobytes < time.txt
  awk -v l="$label" -v s="$seconds" -v k="$kilobytes" 'BEGIN { printf "%-34s %8.2f s %10.1f MB peak memory\n", l, s, k / 1024 }'
}

for size in "$megabytes" $(( megabytes / 10 )); do
  make_survey "$size" "survey_$size.txt"
  bytes=$(stat -c %s "survey_$size.txt")
  rows=$(grep -c '^ ' "survey_$size.txt" || true)
  echo "== survey result file: $(( bytes / 1000000 )) MB, $rows rows"
  measure "qv_results csv  (> /dev/null)" "$tool" csv "survey_$size.txt"
  measure "qv_results plot (SVG)" "$tool" plot "survey_$size.txt" -o "survey_$size.svg"
  echo "   picture: $(( $(stat -c %s "survey_$size.svg") / 1000 )) kB"
  rm -f "survey_$size.txt" "survey_$size.svg"
done
