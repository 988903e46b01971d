#!/usr/bin/env bash
# The gradient of each PEtab benchmark problem's objective at its nominal values: from the forward
# sensitivities against central differences (both at rtol 1e-11), and what one gradient costs in
# objective evaluations at the problem's own tolerances (aim: at most the number of estimated
# parameters + 1).
#
#   bench_petab_gradient [--work DIR] [PROBLEM...]
set -euo pipefail

petab="@BENCH_PETAB_TOOL@"
problems_dir="@BENCH_PETAB_PROBLEMS@"
work=""
names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --work) [ $# -ge 2 ] || { sed -n '2,8p' "$0" >&2; exit 2; }; work="$2"; shift 2 ;;
    -*) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    *) names+=("$1"); shift ;;
  esac
done
if [ ! -d "$problems_dir" ]; then
  echo "bench_petab_gradient: no benchmark problems at $problems_dir" >&2
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
printf '%-38s %6s %12s %12s %8s %14s\n' problem params "eval ms" "gradient ms" ratio "rel. diff"
for p in "${names[@]}"; do
  out="$("$petab" evaluate "$problems_dir/$p/$p.yaml" --gradient --work "$work/$p" 2>&1 || true)"
  diff="$(sed -n 's/^largest difference: \([^ ]*\) .*/\1/p' <<<"$out")"
  read -r te tg ratio m < <(sed -n 's/^time: \([^ ]*\) ms per evaluation, \([^ ]*\) ms per gradient, ratio \([^ ]*\) for \([0-9]*\) parameters/\1 \2 \3 \4/p' <<<"$out")
  printf '%-38s %6s %12s %12s %8s %14s\n' "$p" "${m:--}" "${te:--}" "${tg:--}" "${ratio:--}" "${diff:--}"
done
