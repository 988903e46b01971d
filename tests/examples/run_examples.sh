#!/usr/bin/env bash
# Runs the three programs of a build on every delivered example and keeps what each writes (result
# files, reports, restart files, the log), with the clock's texts masked, so that two builds can be
# compared file by file:
#   tests/examples/run_examples.sh BUILD_DIR OUT_DIR
#   diff -r OUT_A OUT_B
set -euo pipefail
build="$(cd "$1" && pwd)"
mkdir -p "$2"
out="$(cd "$2" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bin="$build/bin"
run=(mpiexec)
if mpiexec --version 2>/dev/null | grep -qE 'Open MPI|OpenRTE'; then run+=(--allow-run-as-root --oversubscribe); fi

# Date and time texts, elapsed seconds and host names differ from run to run.
mask() {
  sed -E -e 's/(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9][0-9] [0-9:]{8} [0-9]{4}/<date>/g' \
         -e 's/([Ee]lapse[a-zA-Z ]*[=:] *)[-+0-9.eE]+/\1<seconds>/g' \
         -e "s/$(hostname)/<host>/g" "$1"
}

case_dir=""
start() {   # name
  case_dir="$out/$1"
  rm -rf "$case_dir.raw"; mkdir -p "$case_dir.raw"
}
finish() {   # masks every file of the case into its directory
  rm -rf "$case_dir"; mkdir -p "$case_dir"
  for f in "$case_dir.raw"/*; do
    [ -f "$f" ] && mask "$f" > "$case_dir/$(basename "$f")"
  done
  rm -rf "$case_dir.raw"
}
# Standard output and error apart; with several processes their lines interleave in no fixed order,
# so the log is kept sorted there.
in_case() {   # procs command...
  local procs="$1"; shift
  (cd "$case_dir.raw" && "$@" > log.txt 2> err.txt; echo "exit $?" >> log.txt) || true
  if [ "$procs" -gt 1 ]; then
    sort "$case_dir.raw/log.txt" -o "$case_dir.raw/log.txt"
    sort "$case_dir.raw/err.txt" -o "$case_dir.raw/err.txt"
  fi
}

sim() {   # name program model.in [procs]
  start "$1"
  in_case "${4:-1}" "${run[@]}" -n "${4:-1}" "$bin/$2" -I"$here/$3" -Oresult.out
  finish
}
# Parallel searches are left out: which worker gets which island or batch depends on timing, and with
# it the random numbers an island or a search draws.
sim sim_pathway simulator_pathway models/pathway/pathway.in
sim sim_pathway_steady simulator_pathway models/pathway/pathway_steady.in
sim sim_linear_rk4 simulator_linear models/linear/linear_rk4.in
sim sim_linear_rk45 simulator_linear models/linear/linear_rk45.in
sim sim_linear_survey simulator_linear models/linear/linear_survey.in 2
sim sim_robertson_ode simulator_robertson models/robertson/robertson_ode.in
sim sim_robertson_dae simulator_robertson_dae models/robertson/robertson_dae.in
sim sim_ssystem simulator_ssystem models/ssystem/ssystem.in
sim sim_oscillator simulator_oscillator models/oscillator/oscillator.in
sim sim_fitting_true simulator_fitting models/fitting/fitting_true.in

ga() {   # name program model.in ga-file procs
  start "$1"
  in_case "$5" "${run[@]}" -n "$5" "$bin/$2" -I"$here/$3" -p"$here/$4" -freport.csv -S12345
  finish
}
ga ga_fitting_normal gasearch_fitting models/fitting/fitting.in models/fitting/fitting_normal.ga 1
ga ga_fitting_mgg gasearch_fitting models/fitting/fitting.in models/fitting/fitting_mgg.ga 1
ga ga_oscillator gasearch_oscillator models/oscillator/oscillator.in models/oscillator/oscillator.ga 1

rs() {   # name program model.in procs
  start "$1"
  in_case "$4" "${run[@]}" -n "$4" "$bin/$2" -I"$here/$3" -Ors -n 60 -j 5 -S12345
  finish
}
rs rs_fitting rsearch_fitting models/fitting/fitting.in 1
rs rs_linear rsearch_linear models/linear/linear_survey.in 1
echo "examples written to $out"
