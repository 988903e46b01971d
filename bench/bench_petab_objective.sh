#!/usr/bin/env bash
# One objective evaluation (every experiment, at the nominal values) of each PEtab benchmark problem,
# on the NDF solver and on SUNDIALS CVODES side by side, with the problem's import and build times:
#  1. petab import PROBLEM.yaml into a work directory (timed: import s);
#  2. the generated model.cpp compiled and linked with the benchmark driver (petab_objective_driver.cpp),
#     the kit's archives and SUNDIALS (timed: build s);
#  3. the driver: each solver's evaluation repeated for MIN_SECONDS, the median per evaluation, the
#     log-likelihood both ways, and the RHS and Jacobian calls of one evaluation.
#
#   bench_petab_objective [--min-seconds S] [--cxxflags FLAGS] [--tolerances "RTOL ATOL"] [--work DIR]
#                         [--max-delta D] [PROBLEM...]
#
# PROBLEM: names of directories under the benchmark directory (default: all of them). --tolerances:
# both solvers at these instead of the problem's. --work keeps the imported problems and programs in
# DIR. --max-delta: exit status 1 when a problem fails or its two log-likelihoods differ by more than
# D max(1, |llh|). ratio is our time over CVODES' time.
set -euo pipefail

bin="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="@BENCH_SOURCE_DIR@"
cxx="@BENCH_CXX@"
problems_dir="@BENCH_PETAB_PROBLEMS@"
link=(@BENCH_PETAB_LINK@)

min_seconds=0.3
cxxflags="-std=c++20 -O2 -w"
work=""
max_delta=""
names=()
tolerances=""
usage() { sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --min-seconds) [ $# -ge 2 ] || usage; min_seconds="$2"; shift 2 ;;
    --cxxflags) [ $# -ge 2 ] || usage; cxxflags="$2"; shift 2 ;;
    --tolerances) [ $# -ge 2 ] || usage; tolerances="$2"; shift 2 ;;
    --work) [ $# -ge 2 ] || usage; work="$2"; shift 2 ;;
    --max-delta) [ $# -ge 2 ] || usage; max_delta="$2"; shift 2 ;;
    -h|--help) usage ;;
    -*) usage ;;
    *) names+=("$1"); shift ;;
  esac
done
if [ ! -d "$problems_dir" ]; then
  echo "bench_petab_objective: no benchmark problems at $problems_dir (set QUORVANT_PETAB_BENCHMARK_DIR)" >&2
  exit 0
fi
if [ ${#names[@]} -eq 0 ]; then
  for d in "$problems_dir"/*/; do
    d="${d%/}"
    [ -f "$d/$(basename "$d").yaml" ] && names+=("$(basename "$d")")
  done
fi
if [ -z "$work" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

now_ns() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }
read -r -a flags <<< "$cxxflags"
read -r -a tols <<< "$tolerances"
[ ${#tols[@]} -eq 0 ] || [ ${#tols[@]} -eq 2 ] || usage

echo "== PEtab objective, one evaluation at the nominal values: NDF solver against SUNDIALS CVODES (dense BDF)"
echo "   median of repeats over >= ${min_seconds} s each; model built with $cxx $cxxflags; ratio = ours / CVODES"
[ ${#tols[@]} -eq 0 ] || echo "   tolerances: rtol ${tols[0]}, atol ${tols[1]} (instead of the problems' own)"
head='%-36s %6s %5s %6s %11s %11s %7s %20s %20s %9s %7s %7s\n'
printf "$head" problem states exps meas "ours ms" "CVODES ms" ratio "llh ours" "llh CVODES" "|dllh|" "import s" "build s"
results="$work/results.tsv"
: > "$results"
bad=0
for name in "${names[@]}"; do
  yaml="$problems_dir/$name/$name.yaml"
  dir="$work/$name"
  if [ ! -f "$yaml" ]; then
    echo "$name: no $yaml" >&2; bad=1; continue
  fi
  t0=$(now_ns)
  if ! "$bin/petab" import "$yaml" "$dir" --force > "$work/$name.import.log" 2>&1; then
    printf '%-36s refused: %s\n' "$name" "$(tail -1 "$work/$name.import.log")"; bad=1; continue
  fi
  t1=$(now_ns)
  if ! "$cxx" "${flags[@]}" -I"$src/include" "$dir/model.cpp" -o "$dir/objective_bench" "${link[@]}" -lm \
      > "$work/$name.build.log" 2>&1; then
    printf '%-36s build failed: %s\n' "$name" "$(grep -m1 error "$work/$name.build.log" || tail -1 "$work/$name.build.log")"
    bad=1; continue
  fi
  t2=$(now_ns)
  if ! line=$("$dir/objective_bench" "$yaml" "$min_seconds" "${tols[@]}" 2> "$work/$name.run.log"); then
    printf '%-36s run failed: %s\n' "$name" "$(tail -1 "$work/$name.run.log")"; bad=1; continue
  fi
  printf 'problem=%s\timport_s=%s\tbuild_s=%s\t%s\n' "$name" "$(seconds "$t0" "$t1")" "$(seconds "$t1" "$t2")" "$line" \
    >> "$results"
  tail -1 "$results" | awk -F'\t' -v fmt="$head" '
    function fin(s) { return s != "-inf" && s != "inf" && s != "nan" && s != "-nan" }
    { for (i = 1; i <= NF; ++i) { k = substr($i, 1, index($i, "=") - 1); v[k] = substr($i, index($i, "=") + 1) } }
    END {
      ratio = v["cvodes_ms"] > 0 ? sprintf("%.2f", v["ours_ms"] / v["cvodes_ms"]) : "-"
      d = fin(v["llh_ours"]) && fin(v["llh_cvodes"]) ? sprintf("%.2e", sqrt((v["llh_ours"] - v["llh_cvodes"]) ^ 2)) : "-"
      printf fmt, v["problem"], v["states"], v["experiments"], v["measurements"], sprintf("%.3f", v["ours_ms"]),
             sprintf("%.3f", v["cvodes_ms"]), ratio, sprintf("%.10g", v["llh_ours"]), sprintf("%.10g", v["llh_cvodes"]),
             d, v["import_s"], v["build_s"]
      if (v["failure_ours"] != "") printf "    ours failed: %s\n", v["failure_ours"]
      if (v["failure_cvodes"] != "") printf "    CVODES failed: %s\n", v["failure_cvodes"]
    }'
done

echo ""
echo "== Work of one evaluation: RHS and Jacobian calls (steady-state checks included), CVODES steps; timed repeats"
printf '%-36s %10s %8s %10s %10s %8s %7s %7s\n' problem "ours RHS" "ours J" "CV steps" "CV RHS" "CV J" "reps" "CV reps"
awk -F'\t' '
  { delete v; for (i = 1; i <= NF; ++i) { k = substr($i, 1, index($i, "=") - 1); v[k] = substr($i, index($i, "=") + 1) }
    printf "%-36s %10s %8s %10s %10s %8s %7s %7s\n", v["problem"], v["ours_rhs"], v["ours_jac"], v["cvodes_steps"],
           v["cvodes_rhs"], v["cvodes_jac"], v["ours_reps"], v["cvodes_reps"] }' "$results"

if [ -n "$max_delta" ]; then
  if ! awk -F'\t' -v tol="$max_delta" '
      { delete v; for (i = 1; i <= NF; ++i) { k = substr($i, 1, index($i, "=") - 1); v[k] = substr($i, index($i, "=") + 1) }
        a = v["llh_ours"]; b = v["llh_cvodes"]
        if (v["failed_ours"] != 0 || v["failed_cvodes"] != 0 || a !~ /^-?[0-9]/ || b !~ /^-?[0-9]/ || (a - b) ^ 2 > (tol * (a ^ 2 > 1 ? a : 1)) ^ 2) {
          printf "%s: llh %s against %s (limit %s max(1, |llh|))\n", v["problem"], a, b, tol; bad = 1 } }
      END { exit bad }' "$results"; then
    bad=1
  fi
  [ "$bad" -eq 0 ] && echo "every problem: the two log-likelihoods within $max_delta max(1, |llh|)"
  exit "$bad"
fi
