#!/usr/bin/env bash
# Adds what a fuzzing campaign found to the regression corpus (tests/corpus/found/): the inputs of
# the model-file queue, reduced by afl-cmin to those that each reach code the others do not, and
# every input that crashed or hung. Each one is run through the simulator, and its exit status and
# error lines ("## ...", "Cannot ...", "ERROR...") become its expectation file; an input whose run
# takes longer than the time limit (a long but valid simulation) is left out.
#
#   import_corpus.sh SIMULATOR [CAMPAIGN_DIR]
#
# SIMULATOR is bin/simulator_corpus of a build tree (best the sanitizer tree: an input that makes it
# report an error is listed and not imported, since its expectation would be a crash).
# CAMPAIGN_DIR defaults to build-fuzz/out/model.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
simulator="$(realpath "$1")"
campaign="${2:-$root/build-fuzz/out/model}"
harness="$root/build-fuzz/bin/fuzz_model_file"
dest="$root/tests/corpus/found"
limit=20
mpiexec=(mpiexec)
if mpiexec --version 2>/dev/null | grep -qE 'Open MPI|OpenRTE'; then
  mpiexec+=(--allow-run-as-root --oversubscribe)
fi

mkdir -p "$dest"
# afl-cmin refuses to work under /tmp.
mkdir -p "$root/build-fuzz"
work="$(mktemp -d "$root/build-fuzz/import_XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The queue, reduced to a set with the same coverage.
export AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1
export ASAN_OPTIONS="abort_on_error=1:symbolize=0:detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:symbolize=0"
afl-cmin -i "$campaign/default/queue" -o "$work/min" -t 2000 -m none -- "$harness" @@ >"$work/cmin.log" 2>&1 ||
  { cat "$work/cmin.log"; exit 1; }
shopt -s nullglob
cp "$campaign"/default/crashes/id* "$campaign"/default/hangs/id* "$campaign"/seed_*/* "$work/min/" 2>/dev/null || true

# As the sanitizer tree's tests run: leaks count, except what the MPI library keeps.
# The slow unwinder sees the MPI library's frames, which the suppressions name.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
added=0 skipped=0 long=0
for f in "$work"/min/*; do
  name="$(sha1sum "$f" | cut -c1-12)"
  [ -e "$dest/$name.in" ] && continue
  run="$work/run"
  rm -rf "$run" && mkdir -p "$run"
  cp "$f" "$run/model.in"
  status=0
  (cd "$run" && OMPI_MCA_odls_base_sigkill_timeout=0 timeout -k 5 "$limit" \
     "${mpiexec[@]}" -n 1 "$simulator" -Imodel.in -Oout >log 2>&1) || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    long=$(( long + 1 ))
    continue
  fi
  if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$run/log" || { [ "$status" -gt 128 ] && [ "$status" -le 192 ]; }; then
    echo "not imported, the simulator fails on it (status $status): $f"
    skipped=$(( skipped + 1 ))
    continue
  fi
  cp "$f" "$dest/$name.in"
  {
    echo "# found by the fuzzer ($(basename "$f" | cut -c1-60)); expectation recorded from the simulator"
    echo "status $status"
    grep -aE "^(## |Cannot |ERROR)" "$run/log" | sed 's/\t/\\t/g; s/^/line /' || true
    [ "$status" -eq 0 ] && echo "line END ALL!!"
  } >"$dest/$name.expect"
  added=$(( added + 1 ))
done
echo "imported $added inputs into $dest ($long left out as long runs, $skipped failing)"
