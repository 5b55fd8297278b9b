#!/bin/sh
# Runs the module sweeps under valgrind where valgrind can run the host at all.
#
#   memcheck.sh probe VERDICT VALGRIND OCTAVE
#       Starts the bare host under valgrind once and writes "ok" to the file VERDICT,
#       or the reason valgrind cannot run it on this machine. Succeeds either way; it
#       fails only when it cannot write VERDICT.
#   memcheck.sh run VERDICT COMMAND...
#       Runs COMMAND (valgrind with the host and its test) unless VERDICT holds a
#       reason, in which case it prints the reason and exits with 77, which the test
#       registers as "skipped". Without a VERDICT (probe not run) it runs COMMAND.
set -u

mode=$1
verdict=$2
shift 2

case $mode in
probe)
  valgrind=$1
  octave=$2
  log=$verdict.log
  rm -f "$verdict"
  # Not --quiet: valgrind then names the instruction it cannot decode.
  "$valgrind" --error-exitcode=99 \
    "$octave" --norc --quiet --no-history --no-window-system --eval "exit (0)" >"$log" 2>&1
  status=$?
  if [ "$status" -eq 0 ]; then
    echo ok >"$verdict" || exit 1
    echo "valgrind runs octave-cli on this machine"
    exit 0
  fi
  # What valgrind says, without its ==pid== prefixes: the bytes of an instruction it
  # cannot decode, and the innermost frame of the fault.
  bytes=$(sed -n 's/^vex [^:]*: unhandled instruction bytes: //p' "$log" | head -n 1)
  frame=$(sed -n 's/^==[0-9]*== *at \(0x[0-9A-Fa-f]*\): /\1 /p' "$log" | head -n 1)
  if [ "$status" -gt 128 ]; then
    reason="octave-cli dies of signal $((status - 128)) at start-up under valgrind"
  elif [ "$status" -eq 99 ]; then
    reason="valgrind reports errors in octave-cli's own start-up, before any module runs"
  else
    reason="octave-cli exits with status $status under valgrind"
  fi
  if [ -n "$bytes" ]; then
    reason="$reason: valgrind cannot decode the instruction (bytes $bytes) at ${frame:-an unknown place}"
  elif [ -n "$frame" ]; then
    reason="$reason, at $frame"
  fi
  echo "$reason (valgrind $("$valgrind" --version 2>/dev/null))" >"$verdict" || exit 1
  echo "valgrind cannot run octave-cli on this machine; the memcheck tests will be skipped."
  cat "$verdict"
  echo "--- valgrind's output:"
  head -n 40 "$log"
  exit 0
  ;;
run)
  if [ -f "$verdict" ] && [ "$(head -n 1 "$verdict")" != ok ]; then
    echo "Skipped: $(cat "$verdict")"
    exit 77
  fi
  exec "$@"
  ;;
*)
  echo "usage: memcheck.sh probe VERDICT VALGRIND OCTAVE | run VERDICT COMMAND..." >&2
  exit 2
  ;;
esac
