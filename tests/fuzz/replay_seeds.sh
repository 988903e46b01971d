#!/usr/bin/env bash
# Runs a fuzzing harness once on every given input: the check, in the sanitizer tree, that each
# harness builds and runs, and that none of its seeds crashes or hangs it. (The campaign itself is
# run_fuzz.sh, through ./quorvant fuzz.)
#
#   replay_seeds.sh HARNESS INPUT...
set -u
harness="$1"
shift
failed=0
for f in "$@"; do
  rc=0
  timeout --kill-after=5 30 "$harness" "$f" </dev/null >/dev/null 2>replay.err || rc=$?
  # The harness ends with 0, or 255 after a reader's fatal exit; 1 is the sanitizers' status,
  # 128 + N a signal, 124 and 137 the time limit.
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 255 ]; then
    echo "FAILED (status $rc): $f"
    head -40 replay.err
    failed=1
  fi
done
rm -f replay.err
[ "$failed" -eq 0 ] && echo "$# inputs, none crashed or hung $(basename "$harness")"
exit "$failed"
