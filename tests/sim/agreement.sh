#!/bin/sh
# The simulator's conv link against the Octave example of the same link: the frame error
# rates of each decoder at three points agree within four standard deviations of their
# difference (binomial counts, pooled rate). Both runs use fixed seeds, so the outcome
# is the same on every run; the margin states how far apart two honest estimates may
# fall.
#   agreement.sh SIMULATOR OCTAVE MEX_DIR EXAMPLES_DIR WORK_DIRECTORY
set -u
sim=$1 octave=$2 mex=$3 examples=$4 dir=$5
mkdir -p "$dir"
"$sim" --link=conv --K=300 --ebn0=1.5:0.5:2.5 --max-frames=3000 --target-errors=1000000 \
  --seed=11 --csv="$dir/sim.csv" >/dev/null || exit 1
"$octave" --norc --quiet --no-history --no-window-system --eval "
  addpath('$mex'); addpath('$examples');
  r = conv_code_example ('EbN0_dB', [1.5 2 2.5], 'max_frames', 600, 'target_frame_errors', 1e6,
                         'L', 300, 'quiet', true, 'plot', false, 'output_dir', '$dir', 'seed', 5);
  for p = 1:3
    for c = 1:3
      printf ('%g,%d,%d,%d\n', r.EbN0_dB(p), c, r.frames(p), r.frame_errors(p, c));
    end
  end" >"$dir/octave.csv" || exit 1
# sim.csv: ebn0_db,curve,frames,bits,bit_errors,frame_errors,...; curves in the order
# Viterbi, log-MAP, tail-biting, as the example's first three.
awk -F, '
  NR == FNR { if (FNR > 1) { n[++rows] = $3; e[rows] = $6 } next }
  {
    k++; m = $3; f = $4
    p = (e[k] + f) / (n[k] + m)
    sd = sqrt(p * (1 - p) * (1 / n[k] + 1 / m))
    d = e[k] / n[k] - f / m; if (d < 0) d = -d
    printf "%s dB, curve %d: simulator %d/%d, Octave %d/%d, difference %.4f, 4 sd %.4f\n", $1, $2, e[k], n[k], f, m, d, 4 * sd
    if (d > 4 * sd) bad = 1
  }
  END { exit bad }' "$dir/sim.csv" "$dir/octave.csv"
