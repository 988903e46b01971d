#!/usr/bin/env bash
# Fits of the PEtab benchmark problems against the best known values: for each problem, petab fit
# with seeds 1..K on P processes, each stopping as soon as its objective is within 1.92 of the best
# known value (reference.tsv: best_known_nllh, the negative log-likelihood). Per problem: how many
# runs reached it, the median time of the runs that did (the fit's search and refinement, without the
# import, build and final check; and in all), and compute (that time × cores) beside the fastest
# published method's (wall time × cores).
#
#   bench_petab_fits [--seeds K] [-n P] [--cores C] [--time-limit S] [--work DIR] [--ga-alone]
#                    [--fit-args "ARGS"] [PROBLEM...]
#
# PROBLEM: names of directories under the benchmark directory (default: all of them). --cores: the
# cores the P processes share (default P; compute is time × cores). --ga-alone: the GA without its
# refinements (the REFINE line taken out of the GA file, and no refinement after it). --fit-args:
# more options for petab fit. A run that does not reach the value stops at the time limit (default
# 600 s).
set -euo pipefail

petab="@BENCH_PETAB_TOOL@"
problems_dir="@BENCH_PETAB_PROBLEMS@"

seeds=10
procs=2
limit=600
work=""
fit_args=""
cores_used=""
ga_alone=0
names=()
usage() { sed -n '2,17p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --seeds) [ $# -ge 2 ] || usage; seeds="$2"; shift 2 ;;
    -n) [ $# -ge 2 ] || usage; procs="$2"; shift 2 ;;
    --time-limit) [ $# -ge 2 ] || usage; limit="$2"; shift 2 ;;
    --cores) [ $# -ge 2 ] || usage; cores_used="$2"; shift 2 ;;
    --ga-alone) ga_alone=1; shift ;;
    --work) [ $# -ge 2 ] || usage; work="$2"; shift 2 ;;
    --fit-args) [ $# -ge 2 ] || usage; fit_args="$2"; shift 2 ;;
    -h|--help) usage ;;
    -*) usage ;;
    *) names+=("$1"); shift ;;
  esac
done
reference="$problems_dir/reference.tsv"
if [ ! -f "$reference" ]; then
  echo "bench_petab_fits: no benchmark problems at $problems_dir (set QUORVANT_PETAB_BENCHMARK_DIR)" >&2
  exit 0
fi
if [ ${#names[@]} -eq 0 ]; then
  mapfile -t names < <(awk -F'\t' 'NR > 1 && $1 != "" { print $1 }' "$reference")
fi
if [ -z "$work" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
[ -n "$cores_used" ] || cores_used="$procs"
if [ "$ga_alone" -eq 1 ]; then fit_args="$fit_args --refine 0"; fi
if [ -z "${QUORVANT_MPIEXEC:-}" ] && mpiexec --version 2>/dev/null | grep -qE 'Open MPI|OpenRTE'; then
  export QUORVANT_MPIEXEC="mpiexec --allow-run-as-root --oversubscribe"
fi

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '%-38s %7s %10s %10s %10s %12s %12s\n' problem reached "median s" "all s" compute "published" "best llh"
for p in "${names[@]}"; do
  row="$(awk -F'\t' -v p="$p" '$1 == p' "$reference")"
  [ -n "$row" ] || { echo "bench_petab_fits: $p is not in $reference" >&2; continue; }
  best="$(cut -f3 <<<"$row")"
  wall="$(cut -f5 <<<"$row")"
  cores="$(cut -f6 <<<"$row")"
  target="$(awk -v b="$best" 'BEGIN { printf "%.10g", -b - 1.92 }')"
  yaml="$problems_dir/$p/$p.yaml"
  reached=0
  : >"$work/$p.times"
  : >"$work/$p.all"
  top=""
  if [ "$ga_alone" -eq 1 ]; then
    "$petab" import "$yaml" "$work/$p" >/dev/null
    sed -i '/^REFINE;/d' "$work/$p/problem.ga"
  fi
  for s in $(seq 1 "$seeds"); do
    out="$work/$p.$s.txt"
    # shellcheck disable=SC2086
    if "$petab" fit "$yaml" "$work/$p" -n "$procs" -S "$s" --time-limit "$limit" --target "$target" $fit_args >"$out" 2>&1; then
      line="$(grep '^target ' "$out" || true)"
      llh="$(sed -n 's/^best llh: //p' "$out")"
      if [ -z "$top" ] || awk -v a="$llh" -v b="$top" 'BEGIN { exit !(a > b) }'; then top="$llh"; fi
      if grep -q ': reached in' <<<"$line"; then
        reached=$((reached + 1))
        sed -n 's/.*(search and refinement \([0-9.]*\) s).*/\1/p' <<<"$line" >>"$work/$p.times"
        sed -n 's/.*reached in \([0-9.]*\) s.*/\1/p' <<<"$line" >>"$work/$p.all"
      fi
    else
      echo "bench_petab_fits: $p seed $s failed: $(tail -n 1 "$out")" >&2
    fi
  done
  med="$(median <"$work/$p.times")"
  all="$(median <"$work/$p.all")"
  compute="-"
  [ "$med" != "-" ] && compute="$(awk -v m="$med" -v n="$cores_used" 'BEGIN { printf "%.3g", m * n }')"
  published="$(awk -v w="$wall" -v c="$cores" 'BEGIN { printf "%.3g", w * c }')"
  printf '%-38s %4d/%-2d %10s %10s %10s %12s %12s\n' "$p" "$reached" "$seeds" "$med" "$all" "$compute" "$published" "${top:--}"
done
