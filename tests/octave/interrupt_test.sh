#!/usr/bin/env bash
# interrupt_test.sh OCTAVE_CLI MODULE_DIR
#
# Ctrl-C during a long module call: SIGINT is sent to octave-cli while a module runs,
# and the call must end at once, the way the host's own interrupt ends a statement.
#  - In an interactive session the next command runs and the module can be called
#    again.
#  - In a script (--eval) the interrupt ends the script: a surrounding try/catch does
#    not swallow it.
set -euo pipefail
octave=$1
modules=$2
work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# Calls that run for a minute or more however fast the machine: a spread permutation
# whose S is out of reach (it gives up only after hundreds of millions of draws), and
# 3e5 look-ups that each scan an unsorted table of 3e5 points.
calls=(
  "SpreadPermutation (5114, 60)"
  "InfoRateTable ([1 zeros(1, 3e5) 2], zeros (1, 3e5 + 2), zeros (1, 3e5 + 1), 1.5 * ones (3e5, 1))"
)

fail() {
  echo "FAIL: $*"
  echo "--- session output"
  cat "$work/out"
  exit 1
}

# Waits until the session has printed $1, for at most $2 seconds.
wait_for() {
  for _ in $(seq 1 $((10 * $2))); do
    grep -q -- "$1" "$work/out" && return 0
    sleep 0.1
  done
  fail "no '$1' within $2 s"
}

mkfifo "$work/in"
"$octave" --norc --quiet --no-history --no-window-system --interactive \
  <"$work/in" >"$work/out" 2>&1 &
pid=$!
exec 3>"$work/in"
echo "addpath ('$modules'); disp ('ready')" >&3
wait_for ready 60
for i in "${!calls[@]}"; do
  echo "disp ('start $i'); tic; x = ${calls[$i]}; disp ('finished $i')" >&3
  wait_for "start $i" 30
  sleep 1
  kill -INT "$pid"
  echo "printf ('alive %d after %.1f s\n', $i, toc)" >&3
  wait_for "alive $i" 30
  grep -q "finished $i" "$work/out" && fail "call $i ran to its end"
  grep -q "error:" "$work/out" && fail "call $i failed"
  seconds=$(sed -n "s/^.*alive $i after \([0-9.]*\) s$/\1/p" "$work/out")
  awk -v s="$seconds" 'BEGIN { exit !(s < 10) }' || fail "call $i took $seconds s to stop"
done
echo "a = SpreadPermutation (10, 0); printf ('usable %d\n', numel (a)); exit (0)" >&3
exec 3>&-
wait "$pid" || fail "the session ended with status $?"
grep -q "usable 10" "$work/out" || fail "the module could not be called again"

# In a script the interrupt is not an error that try/catch swallows.
"$octave" --norc --quiet --no-history --no-window-system --eval \
  "addpath ('$modules'); disp ('started'); try; SpreadPermutation (5114, 60); catch; disp ('swallowed'); end_try_catch; disp ('went on')" \
  >"$work/out" 2>&1 &
pid=$!
wait_for started 60
sleep 1
kill -INT "$pid"
status=0
wait "$pid" || status=$?
pid=
grep -q -e swallowed -e "went on" "$work/out" && fail "the script went on after the interrupt"
[ "$status" -ne 0 ] || fail "the script ended with status 0 after the interrupt"
echo "PASS"
