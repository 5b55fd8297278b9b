#!/bin/sh
# The simulator's duobinary and fsk links against the Octave examples of the same links:
# the frame error rates of each curve at two points agree within four standard
# deviations of their difference (binomial counts, pooled rate). Both runs use fixed
# seeds, so the outcome is the same on every run.
#   agreement_links.sh SIMULATOR OCTAVE MEX_DIR EXAMPLES_DIR WORK_DIRECTORY
set -u
sim=$1 octave=$2 mex=$3 examples=$4 dir=$5
mkdir -p "$dir"
# One CSV line per point and curve, in the examples' curve order: ebn0,frames,frame errors.
: >"$dir/sim.csv"
run() {
  "$sim" "$@" --max-frames=3000 --target-errors=1000000 --seed=11 --csv="$dir/run.csv" >/dev/null || exit 1
  # The curve's label is quoted and may hold a comma.
  sed 's/"[^"]*"/curve/' "$dir/run.csv" | awk -F, 'NR > 1 { print $1 "," $3 "," $6 }' >>"$dir/sim.csv"
}
# duobinary: log-MAP R=1/3, max-log R=1/3, log-MAP R=1/2 at 1 and 1.5 dB, point-major.
for p in 1 1.5; do
  run --link=duobinary --K=96 --ebn0=$p --decoder=exact
  run --link=duobinary --K=96 --ebn0=$p --decoder=max-log
  run --link=duobinary --K=96 --ebn0=$p --rate=1/2
done
run --link=fsk --K=300 --ebn0=6:1:7
"$octave" --norc --quiet --no-history --no-window-system --eval "
  addpath('$mex'); addpath('$examples');
  o = {'max_frames', 400, 'target_frame_errors', 1e6, 'quiet', true, 'plot', false, 'output_dir', '$dir', 'seed', 5};
  r = duobinary_turbo_example ('EbN0_dB', [1 1.5], 'N', 48, o{:});
  s = fsk_rayleigh_example ('EbN0_dB', [6 7], 'L', 300, o{:});
  for q = {r, s}
    for p = 1:2
      for c = 1:3
        printf ('%g,%d,%d\n', q{1}.EbN0_dB(p), q{1}.frames(p), q{1}.frame_errors(p, c));
      end
    end
  end" >"$dir/octave.csv" || exit 1
awk -F, '
  NR == FNR { n[++rows] = $2; e[rows] = $3; next }
  {
    k++; m = $2; f = $3
    if (n[k] == 0 || m == 0) { bad = 1; next }
    p = (e[k] + f) / (n[k] + m)
    sd = sqrt(p * (1 - p) * (1 / n[k] + 1 / m))
    d = e[k] / n[k] - f / m; if (d < 0) d = -d
    printf "%s dB, row %d: simulator %d/%d, Octave %d/%d, difference %.4f, 4 sd %.4f\n", $1, k, e[k], n[k], f, m, d, 4 * sd
    if (d > 4 * sd) bad = 1
  }
  END { exit bad || k != 12 || rows != 12 }' "$dir/sim.csv" "$dir/octave.csv"
