#!/usr/bin/env bash
# Adds what a fuzzing campaign found to the regression corpus (tests/corpus/found/): the inputs of
# the model-file queue, reduced by afl-cmin to those that each reach code the others do not, and
# every input that crashed or hung. Each one is run through the simulator to record its
# expectation:
# - an input the reader refuses: status 255 and its error lines ("## ...", "Cannot ...", "ERROR...");
# - an input that loads: status 0 or 255, since how its run ends depends on the solvers, which
#   may change; what stays checked is that it ends in time, without a sanitizer report, with a
#   complete result file exactly when it succeeds.
# An input whose run takes longer than the time limit (a long but valid simulation) is left out.
#
#   import_corpus.sh SIMULATOR [CAMPAIGN_DIR]   import a campaign (default build-fuzz/out/model)
#   import_corpus.sh SIMULATOR --rerecord       record the expectations of found/ again (after a
#                                               deliberate change of the reader's messages)
#
# SIMULATOR is bin/simulator_corpus of a build tree, best the sanitizer tree: an input that makes it
# report an error is listed and not imported.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
simulator="$(realpath "$1")"
mode="${2:-$root/build-fuzz/out/model}"
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
mkdir -p "$work/min"
shopt -s nullglob

if [ "$mode" = "--rerecord" ]; then
  for f in "$dest"/*.in; do cp "$f" "$work/min/"; done
else
  # The queue, reduced to a set with the same coverage.
  export AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1
  export ASAN_OPTIONS="abort_on_error=1:symbolize=0:detect_leaks=0:allocator_may_return_null=1"
  export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:symbolize=0"
  rmdir "$work/min"
  afl-cmin -i "$mode/default/queue" -o "$work/min" -t 2000 -m none -- "$harness" @@ >"$work/cmin.log" 2>&1 ||
    { cat "$work/cmin.log"; exit 1; }
  cp "$mode"/default/crashes/id* "$mode"/default/hangs/id* "$mode"/seed_*/* "$work/min/" 2>/dev/null || true
fi

# As the sanitizer tree's tests run: leaks count, except what the MPI library keeps (the slow
# unwinder sees the library's frames, which the suppressions name).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:fast_unwind_on_malloc=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# record INPUT ORIGIN: writes found/<hash>.{in,expect}; returns 1 for a long run, 2 for a failure.
record() {
  local f="$1" origin="$2" name run status=0
  name="$(sha1sum "$f" | cut -c1-12)"
  run="$work/run"
  rm -rf "$run" && mkdir -p "$run"
  cp "$f" "$run/model.in"
  (cd "$run" && OMPI_MCA_odls_base_sigkill_timeout=0 timeout -k 5 "$limit" \
     "${mpiexec[@]}" -n 1 "$simulator" -Imodel.in -Oout >log 2>&1) || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    return 1
  fi
  if grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$run/log" ||
     { [ "$status" -gt 128 ] && [ "$status" -le 192 ]; }; then
    echo "the simulator fails on it (status $status): $f"
    return 2
  fi
  [ "$f" -ef "$dest/$name.in" ] || cp "$f" "$dest/$name.in"
  {
    echo "# found by the fuzzer ($origin); expectation recorded from the simulator"
    if grep -qxE "## Error!!  in Set_data\.|## ERROR!! Too many data in a line\." "$run/log"; then
      echo "status $status"
      grep -aE "^(## |Cannot |ERROR)" "$run/log" | sed 's/\t/\\t/g; s/^/line /' || true
    else
      echo "# the model loads: how the run ends is up to the solvers"
      echo "status 0 255"
    fi
  } >"$dest/$name.expect"
  return 0
}

added=0 failed=0 long=0
for f in "$work"/min/*; do
  name="$(sha1sum "$f" | cut -c1-12)"
  if [ "$mode" = "--rerecord" ]; then
    origin="$(sed -n '1s/^# found by the fuzzer (\(.*\)); expectation.*/\1/p' "$dest/$name.expect" 2>/dev/null)"
    f="$dest/$name.in"
  else
    [ -e "$dest/$name.in" ] && continue
    origin="$(basename "$f" | cut -c1-60)"
  fi
  rc=0
  record "$f" "${origin:-campaign}" || rc=$?
  case "$rc" in
    0) added=$(( added + 1 )) ;;
    1)
      long=$(( long + 1 ))
      # A case that now runs long (the simulator learnt to run it) has no place in the corpus.
      [ "$mode" = "--rerecord" ] && rm -f "$dest/$name.in" "$dest/$name.expect"
      ;;
    *) failed=$(( failed + 1 )) ;;
  esac
done
echo "recorded $added inputs in $dest ($long left out as long runs, $failed failing)"
