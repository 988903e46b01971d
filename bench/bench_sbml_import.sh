#!/usr/bin/env bash
# The SBML importer's costs:
#  1. import and build time per model: sbml_import, then compiling the generated model.cpp
#     (-O2, as the programs are built), for the benchmark network, the delivered example, the
#     importer's test model and up to 20 SBML Test Suite cases when they are on this machine;
#  2. simulation time of the imported 50-reaction network (bench_sbml_import.xml) against the same
#     model written by hand (bench_sbml_import.cpp): both simulators run the same model input file,
#     a parameter survey of CASES time courses on the NDF solver (least CPU time of 5 runs). Aim: the
#     imported model within 1.2 times the hand-written one.
#
#   bench_sbml_import [CASES]      (default 200)
set -euo pipefail

bin="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="@BENCH_SOURCE_DIR@"
cxx="@BENCH_CXX@"
model_in="@BENCH_MODEL_IN@"
programs="@BENCH_PROGRAM_DIR@"   # the two simulators
suite="@BENCH_SBML_CASES@"
mpiexec=("@BENCH_MPIEXEC@")
cases="${1:-200}"
if "${mpiexec[0]}" --version 2>/dev/null | grep -q "Open MPI\|OpenRTE"; then
  [ "$(id -u)" = 0 ] && mpiexec+=(--allow-run-as-root)
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# ---- 1. Import and build time per model -------------------------------------------------------------
models=("$src/bench/bench_sbml_import.xml" "$src/models/sbml_example/enzyme_chain.xml"
        "$src/tests/sbml/models/names_and_data.xml")
if [ -d "$suite" ]; then
  while IFS= read -r f; do models+=("$f"); done < <(ls "$suite"/*/*-sbml-l3v2.xml 2>/dev/null | head -20)
fi
echo "== Import and build time per model (sbml_import; $cxx -O2 -c model.cpp)"
total_import=0 total_build=0 n=0
for m in "${models[@]}"; do
  t0=$(now_ms)
  "$bin/sbml_import" "$m" out --force >/dev/null 2>&1 || { echo "$(basename "$m"): refused"; continue; }
  t1=$(now_ms)
  "$cxx" -std=c++20 -O2 -I"$src/include" -c out/model.cpp -o out/model.o
  t2=$(now_ms)
  printf '%-32s import %5d ms   build %5d ms\n' "$(basename "$m")" $(( t1 - t0 )) $(( t2 - t1 ))
  total_import=$(( total_import + t1 - t0 )); total_build=$(( total_build + t2 - t1 )); n=$(( n + 1 ))
done
[ "$n" -gt 0 ] && printf 'mean over %d models:            import %5d ms   build %5d ms\n' \
  "$n" $(( total_import / n )) $(( total_build / n ))

# ---- 2. Imported against hand-written -----------------------------------------------------------------
# A survey of the first forward rate constant over CASES values, on the model input file the
# importer wrote for the network.
sed -e "s/^PARAM ; kf1 ; 1 ; \([0-9.e+-]*\) ;;;;;;;/PARAM ; kf1 ; 1 ; \1 ;; $cases ; R ; 1.001 ;;;/" "$model_in" > survey.in
echo "P_SURVEY ; 1" >> survey.in
grep -q "; $cases ; R ;" survey.in || { echo "bench_sbml_import: could not set up the survey" >&2; exit 1; }
# CPU time (user + system, of the program and its children) rather than wall time: the machine may
# be shared, and the two programs do the same work.
best() {   # program: the least CPU time of 5 runs, in ms
  local b=0 t k
  for k in 1 2 3 4 5; do
    t=$( { TIMEFORMAT='%3U %3S'; time "${mpiexec[@]}" -n 1 "$programs/$1" -Isurvey.in -O"$1.out" >"$1.log" 2>&1; } 2>&1 ) ||
      { echo "$1 failed:" >&2; tail "$1.log" >&2; exit 1; }
    t=$(awk -v u="${t% *}" -v s="${t#* }" 'BEGIN { printf "%d", (u + s) * 1000 }')
    if [ "$b" -eq 0 ] || [ "$t" -lt "$b" ]; then b="$t"; fi
  done
  echo "$b"
}
imported=$(best bench_simulator_imported)
hand=$(best bench_simulator_handwritten)
# The two must compute the same time courses.
if ! cmp -s <(grep -v '^#\|seed\|Time\|time' bench_simulator_imported.out | head -2000) \
            <(grep -v '^#\|seed\|Time\|time' bench_simulator_handwritten.out | head -2000); then
  echo "note: the two result files differ (in the last digits of some values)"
fi
echo ""
echo "== Simulation: 50-reaction network, $cases survey cases on the NDF solver (least CPU time of 5)"
printf 'hand-written %6d ms\nimported     %6d ms\nratio        %6s (aim: at most 1.2)\n' "$hand" "$imported" \
  "$(awk -v a="$imported" -v b="$hand" 'BEGIN { printf "%.2f", a / b }')"
