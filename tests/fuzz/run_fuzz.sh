#!/usr/bin/env bash
# A bounded AFL++ campaign on the input side: the simulator's model file and command line, the
# GA parameter file and file of initial individuals of gasearch, the SBML importer and the PEtab
# readers (where they are built).
#
#   run_fuzz.sh --packages   the Debian packages the campaign needs, one per line
#   run_fuzz.sh SECONDS      build the harnesses (build-fuzz/, AFL++ instrumentation with the address
#                            and undefined-behaviour sanitizers) and fuzz for SECONDS in all:
#                            most of the time the model input file, a quarter the GA files, the
#                            rest the command line
#
# Seeds: the delivered model files (models/*/*.in), the regression corpus (tests/corpus/*/*.in) and
# the hand-written seeds beside this script; for the GA files the GA regression corpus
# (tests/corpus_ga/) and the seeds in seeds/ga/. The harness runs as a process: its exit status 255
# (the reader's fatal exit on a line with too many fields) is a normal outcome; a signal (sanitizer
# abort, segmentation fault) is a crash and a run over the time limit is a hang.
#
# Prints the executions, wall time, crashes and hangs of each campaign and of both, and exits
# non-zero when a crash or a hang was found (their inputs stay in build-fuzz/out/*/default/).
#
# Environment: QV_FUZZ_BUILD (build directory, default build-fuzz in the source tree).
set -euo pipefail

packages=(afl++ clang libclang-rt-dev)
if [ "${1:-}" = "--packages" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

seconds="${1:-}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 2 ]; then
  echo "usage: $0 SECONDS (at least 2) | --packages" >&2
  exit 2
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${QV_FUZZ_BUILD:-$root/build-fuzz}"
jobs="$(nproc 2>/dev/null || echo 2)"

for tool in afl-fuzz afl-clang-fast afl-clang-fast++ cmake; do
  command -v "$tool" >/dev/null || { echo "run_fuzz.sh: $tool not found (install: ${packages[*]})" >&2; exit 2; }
done

# ---- Build ----------------------------------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=afl-clang-fast CXX=afl-clang-fast++ \
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log"; exit 2; }
fi
cmake --build "$build" -j "$jobs" >"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 2; }

# ---- Seeds ----------------------------------------------------------------------------------------
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/model" "$seeds/cli" "$seeds/ga" "$seeds/sbml" "$seeds/petab"
copy_seeds() {   # destination, prefix, files...
  local dest="$1" prefix="$2" f
  shift 2
  for f in "$@"; do
    # AFL++ refuses inputs over 1 MB; an empty file is no seed at all.
    [ -f "$f" ] && [ -s "$f" ] && [ "$(stat -c %s "$f")" -le 1000000 ] || continue
    cp "$f" "$dest/${prefix}_$(basename "$f")"
  done
}
shopt -s nullglob
for d in "$root"/models/*/; do copy_seeds "$seeds/model" "model_$(basename "$d")" "$d"*.in; done
for d in "$root"/tests/corpus/*/; do copy_seeds "$seeds/model" "corpus_$(basename "$d")" "$d"*.in; done
copy_seeds "$seeds/model" seed "$here"/seeds/model/*
copy_seeds "$seeds/cli" seed "$here"/seeds/cli/*
copy_seeds "$seeds/ga" seed "$here"/seeds/ga/*
copy_seeds "$seeds/ga" corpus "$root"/tests/corpus_ga/*.ga "$root"/tests/corpus_ga/*.ind
copy_seeds "$seeds/sbml" seed "$here"/seeds/sbml/*
copy_seeds "$seeds/sbml" corpus "$root"/tests/corpus_sbml/*.xml
# PEtab: the tables and problem files of the public test suite's first cases, where it is at hand.
for d in "$root"/../shared/petab/test-suite/v1.0.0/sbml/000[1-9]/ "$root"/../shared/petab/test-suite/v2.0.0/sbml/000[1-9]/; do
  copy_seeds "$seeds/petab" "$(basename "$(dirname "$(dirname "$d")")")_$(basename "$d")" "$d"*.tsv "$d"*.yaml
done
for d in "$root"/tests/petab_import/cases/v1/000[1-9]/; do
  copy_seeds "$seeds/petab" "delivered_$(basename "$d")" "$d"*.tsv "$d"*.yaml
done
copy_seeds "$seeds/petab" seed "$here"/seeds/petab/*
shopt -u nullglob

# ---- Campaigns ------------------------------------------------------------------------------------
# AFL++ wants the sanitizers to abort (so that it sees a signal) and no symbolizer in the loop.
export AFL_SKIP_CPUFREQ=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_NO_UI=1 AFL_NO_AFFINITY=1
export AFL_FAST_CAL=1
export ASAN_OPTIONS="abort_on_error=1:symbolize=0:detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:symbolize=0:print_stacktrace=0"

cli_seconds=$(( seconds / 6 ))
[ "$cli_seconds" -lt 1 ] && cli_seconds=1
ga_seconds=$(( seconds / 4 ))
[ "$ga_seconds" -lt 1 ] && ga_seconds=1
sbml_seconds=0
if [ -f "$build/bin/fuzz_sbml_import" ]; then
  sbml_seconds=$(( ga_seconds / 2 ))
  [ "$sbml_seconds" -lt 1 ] && sbml_seconds=1
  ga_seconds=$(( ga_seconds - sbml_seconds ))
  [ "$ga_seconds" -lt 1 ] && ga_seconds=1
fi
petab_seconds=0
if [ -f "$build/bin/fuzz_petab_problem" ] && [ -n "$(ls -A "$seeds/petab" 2>/dev/null)" ]; then
  petab_seconds=$(( cli_seconds ))
fi
model_seconds=$(( seconds - cli_seconds - ga_seconds - sbml_seconds - petab_seconds ))
[ "$model_seconds" -lt 1 ] && model_seconds=1

stat_of() {   # stats file, key
  sed -n "s/^$2 *: *//p" "$1" 2>/dev/null | head -1
}

total_execs=0
total_crashes=0
total_hangs=0
report=()
start=$(date +%s)

# AFL++ skips a seed that crashes or hangs with a warning; here such a seed counts as a finding.
replay_seeds() {   # name, harness, output directory
  local name="$1" harness="$2" out="$3" f rc
  mkdir -p "$out/seed_crashes" "$out/seed_hangs"
  for f in "$seeds/$name"/*; do
    rc=0
    timeout --kill-after=5 10 "$build/bin/$harness" "$f" </dev/null >/dev/null 2>&1 || rc=$?
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
      cp "$f" "$out/seed_hangs/"
      total_hangs=$(( total_hangs + 1 ))
    elif { [ "$rc" -gt 128 ] && [ "$rc" -le 192 ]; } || [ "$rc" -eq 1 ]; then
      # 128 + a signal number, or 1 (the sanitizers' own exit status). The harness itself ends
      # with 0, or 255 after the reader's fatal exit.
      cp "$f" "$out/seed_crashes/"
      total_crashes=$(( total_crashes + 1 ))
    fi
  done
}

campaign() {   # name, seconds, harness, dictionary or ""
  local name="$1" secs="$2" harness="$3" dict="$4"
  local out="$build/out/$name"
  rm -rf "$out"
  mkdir -p "$out"
  replay_seeds "$name" "$harness" "$out"
  local args=(-i "$seeds/$name" -o "$out" -V "$secs" -t 1000 -m none)
  [ -n "$dict" ] && args+=(-x "$dict")
  local t0 t1
  t0=$(date +%s)
  # afl-fuzz ends by itself after -V seconds; the outer limit only guards against a stuck start.
  timeout --kill-after=10 $(( secs + 120 )) \
    afl-fuzz "${args[@]}" -- "$build/bin/$harness" @@ </dev/null >"$out/afl.log" 2>&1 || {
      echo "afl-fuzz ($name) did not run to its end:" >&2
      tail -30 "$out/afl.log" >&2
      return 1
    }
  t1=$(date +%s)
  local stats="$out/default/fuzzer_stats"
  local execs crashes hangs corpus
  execs=$(stat_of "$stats" execs_done)
  crashes=$(stat_of "$stats" saved_crashes)
  hangs=$(stat_of "$stats" saved_hangs)
  corpus=$(stat_of "$stats" corpus_count)
  execs=${execs:-0}; crashes=${crashes:-0}; hangs=${hangs:-0}; corpus=${corpus:-0}
  # AFL++'s limit (-t) is short and counts a run that a loaded machine slowed down as a hang: an input
  # counts only if it also runs past the replay limit on its own; the others are set aside and named.
  local slow=0 h
  mkdir -p "$out/slow"
  for h in "$out"/default/hangs/id*; do
    [ -e "$h" ] || continue
    local rc=0
    timeout --kill-after=5 10 "$build/bin/$harness" "$h" </dev/null >/dev/null 2>&1 || rc=$?
    if [ "$rc" -eq 0 ] || [ "$rc" -eq 255 ]; then   # the harness's own outcomes
      mv "$h" "$out/slow/"
      slow=$(( slow + 1 ))
    fi
  done
  hangs=$(( hangs - slow ))
  [ "$hangs" -lt 0 ] && hangs=0
  total_execs=$(( total_execs + execs ))
  total_crashes=$(( total_crashes + crashes ))
  total_hangs=$(( total_hangs + hangs ))
  report+=("$(printf '%-13s %10d executions %6d s  %4d crashes %4d hangs  %5d inputs in queue' \
    "$name" "$execs" $(( t1 - t0 )) "$crashes" "$hangs" "$corpus")")
  [ "$slow" -gt 0 ] && report+=("    $slow input(s) over AFL++'s time limit but not on replay: $out/slow/")
  local f
  for f in "$out"/default/crashes/id* "$out"/default/hangs/id* "$out"/seed_crashes/* "$out"/seed_hangs/*; do
    [ -e "$f" ] && report+=("    found: $f")
  done
  return 0
}

status=0
campaign model "$model_seconds" fuzz_model_file "$here/model_file.dict" || status=2
campaign cli "$cli_seconds" fuzz_command_line "" || status=2
campaign ga "$ga_seconds" fuzz_ga_files "" || status=2
# The SBML importer, when it was built (libSBML found): a share of the GA files' time.
if [ -x "$build/bin/fuzz_sbml_import" ]; then
  campaign sbml "$sbml_seconds" fuzz_sbml_import "" || status=2
fi
# The PEtab readers, when built and seeded: as long as the command line.
if [ "$petab_seconds" -gt 0 ]; then
  campaign petab "$petab_seconds" fuzz_petab_problem "" || status=2
fi
wall=$(( $(date +%s) - start ))

echo ""
echo "== Fuzzing campaign (AFL++, address and undefined-behaviour sanitizers)"
printf '%s\n' "${report[@]}"
printf 'total:        %10d executions %6d s wall time  %d crashes %d hangs\n' \
  "$total_execs" "$wall" "$total_crashes" "$total_hangs"
if [ $(( total_crashes + total_hangs )) -gt 0 ]; then
  echo "FAILED: the fuzzer found crashes or hangs (inputs listed above)."
  exit 1
fi
exit "$status"
