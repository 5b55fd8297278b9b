#!/bin/sh
# A run stopped by SIGTERM and resumed gives the counts of a run never stopped.
#   resume_test.sh SIMULATOR WORK_DIRECTORY
set -u
sim=$1
dir=$2
mkdir -p "$dir"
args="--ebn0=1:0.5:2 --K=512 --max-frames=40000 --target-errors=1000000 --decoder=max-log --chunk=16 --threads=2"
counts() { grep -o '"frames": [0-9]*\|"bit_errors": [0-9]*\|"frame_errors": [0-9]*' "$1"; }

# shellcheck disable=SC2086
"$sim" $args --json="$dir/full.json" >/dev/null || exit 1
rm -f "$dir/cut.json"
# shellcheck disable=SC2086
"$sim" $args --json="$dir/cut.json" >/dev/null &
pid=$!
sleep 1
kill -TERM "$pid"
wait "$pid"
status=$?
if [ "$status" -ne 130 ]; then
  echo "the stopped run ended with status $status, not 130 (did it finish within a second?)"
  exit 1
fi
grep -q '"complete": false' "$dir/cut.json" || { echo "the stopped run left no incomplete point"; exit 1; }
"$sim" --resume="$dir/cut.json" >/dev/null || exit 1
counts "$dir/full.json" >"$dir/full.counts"
counts "$dir/cut.json" >"$dir/cut.counts"
cmp "$dir/full.counts" "$dir/cut.counts"
