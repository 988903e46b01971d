#!/usr/bin/env bash
# Parallel gasearch against one process on the same work: the data-fitting example with a fixed
# number of generations and a target no individual can beat, 4 islands of 40 (normal alternation)
# or 4 islands of 30 (MGG), seeded. For each alternation and each grain of the work dealt out
# (whole island-generations, or individuals with PARALLEL;INDIVIDUAL;): the wall time on 1 process
# and on 3 (the master and 2 workers), the speed-up, and the share of the master's wall time it
# spent computing (CPU time) rather than sleeping in its wait for the workers.
# Two grains of work: the example as delivered (an evaluation takes about 30 microseconds, so one
# island-generation is a fraction of a millisecond and the messages weigh), and the same example with
# a ten times finer integration step and a tenth of the generations (the same number of evaluations,
# each ten times dearer, as with a model of realistic size).
#
#   bench_ga_mpi [generations of the normal run]     (MGG runs 20 times as many, each far cheaper)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="$here/gasearch_bench_fitting"
model="@BENCH_MODEL@"
mpiexec=("@BENCH_MPIEXEC@")
generations="${1:-300}"

# Open MPI refuses to run as root and to start more ranks than cores unless told to.
if "${mpiexec[0]}" --version 2>/dev/null | grep -q "Open MPI\|OpenRTE"; then
  mpiexec+=(--oversubscribe)
  [ "$(id -u)" = 0 ] && mpiexec+=(--allow-run-as-root)
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

sed 's/^DELTA_T .*/DELTA_T ; 0.001/' "$model" > fine_step.in
grep -q '^DELTA_T ; 0.001' fine_step.in || { echo "no DELTA_T line in $model" >&2; exit 1; }

write_ga() {   # generations of the normal run; the per-individual files add the PARALLEL line
cat > normal.ga <<EOF
ENCODE;REAL;
GATYPE;DGA;$1;1;4;40;RandomRing;10;0.1;
DIGENESIS;NORMAL;2;Tournament;3;
CROSSOVER;UNDX;1.0;0.35;
MUTATION;VariableNormal;0.1;
EOF
cat > mgg.ga <<EOF
ENCODE;REAL;
GATYPE;DGA;$(($1 * 20));1;4;30;RandomRing;50;0.1;
DIGENESIS;MGG;10;
CROSSOVER;UNDX;1.0;0.35;
MUTATION;NONE;
EOF
for ga in normal mgg; do
  { cat "$ga.ga"; echo "PARALLEL;INDIVIDUAL;"; } > "${ga}_individual.ga"
done
}

# Rank 0 runs under this wrapper: it writes its wall time and its CPU time (user + system) in
# seconds to master.time. The other ranks run the program directly.
cat > rank.sh <<'EOF'
#!/usr/bin/env bash
rank="${OMPI_COMM_WORLD_RANK:-${PMI_RANK:-0}}"
if [ "$rank" != 0 ]; then exec "$@"; fi
start=$(date +%s.%N)
"$@"
rc=$?
end=$(date +%s.%N)
times > master.cpu   # in this shell: a pipeline would report its own subshell's times
cpu=$(tail -n 1 master.cpu | awk '{
  split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }')
echo "$start $end $cpu" | awk '{ printf "%.3f %s\n", $2 - $1, $3 }' > master.time
exit $rc
EOF
chmod +x rank.sh

# run <processes> <GA file> <model file>: prints "<wall> <master cpu>".
run() {
  "${mpiexec[@]}" -n "$1" ./rank.sh "$program" -I "$3" -p "$2" -S 4242 > "run_$1_$2.log" 2>&1 || {
    echo "gasearch failed on $1 process(es) with $2:" >&2
    tail -n 20 "run_$1_$2.log" >&2
    exit 1
  }
  cat master.time
}

printf '%-6s %-8s %-10s %11s %13s %13s %9s %15s\n' step alternation dealt generations "1 process s" \
  "3 processes s" speed-up "master busy %"
for grain in delivered fine; do
  if [ "$grain" = delivered ]; then input="$model"; gens=$generations; step=0.01
  else input="$work/fine_step.in"; gens=$((generations / 10)); step=0.001; fi
  write_ga "$gens"
  for ga in normal mgg; do
    g=$gens
    [ "$ga" = mgg ] && g=$((gens * 20))
    read -r t1 _ < <(run 1 "$ga.ga" "$input")
    for dealt in island individual; do
      file="$ga.ga"
      [ "$dealt" = individual ] && file="${ga}_individual.ga"
      read -r t3 cpu3 < <(run 3 "$file" "$input")
      # The per-individual run repeats the one-process run: the same final result.
      if [ "$dealt" = individual ] && ! cmp -s <(grep '^Gene ' "run_1_$ga.ga.log") <(grep '^Gene ' "run_3_$file.log"); then
        echo "the per-individual run of $ga ended elsewhere than the one-process run" >&2
        exit 1
      fi
      awk -v s="$step" -v a="$ga" -v d="$dealt" -v g="$g" -v t1="$t1" -v t3="$t3" -v c="$cpu3" 'BEGIN {
        printf "%-6s %-8s %-10s %11d %13.2f %13.2f %9.2f %15.1f\n", s, a, d, g, t1, t3, t1 / t3, 100 * c / t3 }'
    done
  done
done
