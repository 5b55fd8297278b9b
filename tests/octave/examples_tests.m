## Every example simulation runs end to end with a tiny frame budget, writes its CSV
## and plot, and returns results of the expected shape.

%!function check_results (r, curves, files_stem)
%!  assert (numel (r.labels), curves);
%!  assert (all (r.frames(1) > 0));
%!  assert (size (r.ber, 2), curves);
%!  assert (all (r.ber(r.frames > 0, :)(:) >= 0 & r.ber(r.frames > 0, :)(:) <= 1));
%!  assert (exist ([files_stem ".csv"], "file") == 2);
%!endfunction

## Reads a CSV file of the examples the way lf_report's help says: the "# name = value"
## lines into a struct (each value evaluated), the header row split into column names
## (quoted names may hold commas), and the numbers by csvread past both.
%!function [params, columns, table] = read_csv (csv)
%!  lines = strsplit (fileread (csv), "\n");
%!  n = sum (strncmp (lines, "#", 1));
%!  assert (all (strncmp (lines(1:n), "#", 1)));     # the comments lead
%!  params = struct ();
%!  for i = 1:n
%!    t = regexp (lines{i}, '^# (\w+) = (.*)$', "tokens", "once");
%!    params.(t{1}) = eval (t{2});
%!  endfor
%!  columns = textscan (lines{n + 1}, "%q", "delimiter", ","){1}';
%!  table = csvread (csv, n + 1, 0);
%!endfunction

%!test
%! out = tempname ();
%! r = conv_code_example ("EbN0_dB", [2 3], "max_frames", 3, "L", 300, "output_dir", out);
%! check_results (r, 4, fullfile (out, "conv_code_k7"));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = turbo_code_example ("EbN0_dB", [0.5 1], "max_frames", 2, "K", 200, "iterations", 2,
%!                         "output_dir", out);
%! check_results (r, 3, fullfile (out, "turbo_code"));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = lte_turbo_example ("EbN0_dB", [0.5 1], "max_frames", 2, "K", 256, "iterations", 2,
%!                        "output_dir", out);
%! check_results (r, 2, fullfile (out, "lte_turbo"));
%! assert (size (r.iterations), [2 2]);
%! assert (all (r.iterations(:) >= 1 & r.iterations(:) <= 2));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

## A run is a function of its seed: points stop on frame and error counts, not on the
## clock, so the same call repeats every count and writes the same CSV file byte for
## byte, while another seed draws other frames. The budget makes the first point stop
## on errors and the second on frames.
%!test
%! out = tempname ();
%! run = @(seed) conv_code_example ("EbN0_dB", [1.5 3.5], "L", 300, "max_frames", 40,
%!                                  "target_frame_errors", 4, "seed", seed,
%!                                  "output_dir", out, "plot", false);
%! csv = fullfile (out, "conv_code_k7.csv");
%! a = run (5);
%! first = fileread (csv);
%! b = run (5);
%! assert (fileread (csv), first);
%! assert ([b.frames; b.bits], [a.frames; a.bits]);
%! assert ({b.bit_errors, b.frame_errors}, {a.bit_errors, a.frame_errors});
%! assert (a.frames(1) < 40 && min (a.frame_errors(1, :)) == 4);
%! assert (a.frames(2) == 40 && min (a.frame_errors(2, :)) < 4);
%! c = run (6);
%! assert (! isequal (c.bit_errors, a.bit_errors));
%! ## The file records every parameter of the run, seed included, before the header
%! ## row, and the numbers read back past them.
%! [params, columns, table] = read_csv (csv);
%! assert (fieldnames (params), [fieldnames(lf_defaults (0)); {"L"}]);
%! assert (params, struct ("EbN0_dB", [1.5 3.5], "max_frames", 40, "target_frame_errors", 4,
%!                         "max_seconds", Inf, "quiet", false, "output_dir", out,
%!                         "plot", false, "seed", 6, "L", 300));
%! assert (columns(1:5), {"EbN0_dB", "frames", "bits", "Viterbi bit errors", ...
%!                        "Viterbi frame errors"});
%! assert (numel (columns), 3 + 4 * 4);
%! assert (table(:, [1:3, 4:4:end, 5:4:end]),
%!         [c.EbN0_dB', c.frames', c.bits', c.bit_errors, c.frame_errors]);
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

## Parameter handling shared by all examples.
%!error <unknown parameter 'EbNo'> conv_code_example ("EbNo", 1)
%!error <name/value pairs> conv_code_example ("L")

## Each link decodes every frame at an Eb/N0 far above its waterfall, so a fault in its
## wiring (a permutation applied the wrong way, a stream out of place, a sign) shows
## as errors there; the low point only has to run.

%!test
%! out = tempname ();
%! r = duobinary_turbo_example ("EbN0_dB", [0 5], "max_frames", 2, "N", 48,
%!                              "iterations", 4, "output_dir", out);
%! check_results (r, 3, fullfile (out, "duobinary_turbo"));
%! assert (r.frames, [2 2]);
%! assert (r.bits, [192 192]);
%! assert (r.bit_errors(2, :), [0 0 0]);
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = bicm_id_example ("EbN0_dB", [2 9], "max_frames", 2, "L", 200, "iterations", [1 2],
%!                      "output_dir", out);
%! check_results (r, 4, fullfile (out, "bicm_id"));
%! assert (r.labels, {"Gray, 1 it", "Gray, 2 it", "SP, 1 it", "SP, 2 it"});
%! assert (r.bit_errors(2, :), [0 0 0 0]);
%! ## At 2 dB set partitioning without iterating is far worse than Gray (0.27 against
%! ## 0.09), and iterating helps it.
%! assert (r.bit_errors(1, 3) > r.bit_errors(1, 1));
%! assert (r.bit_errors(1, 4) < r.bit_errors(1, 3));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! for decoder = {"viterbi", "log-map"}
%!   r = fsk_rayleigh_example ("EbN0_dB", [3 14], "max_frames", 2, "L", 200,
%!                             "decoder", decoder{1}, "output_dir", out);
%!   check_results (r, 3, fullfile (out, "fsk_rayleigh"));
%!   assert (r.bit_errors(2, :), [0 0 0]);
%!   ## Knowing the channel helps: at 3 dB the coherent receiver makes the fewest errors.
%!   assert (r.bit_errors(1, 1) < min (r.bit_errors(1, 2:3)));
%! endfor
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");
%!error <decoder must be> fsk_rayleigh_example ("decoder", "map", "quiet", true)

## 8448 bits take two code blocks, each with its CRC-24B; 200 bits base graph 2.
%!test
%! out = tempname ();
%! r = nr_ldpc_example ("EbN0_dB", [1 8], "max_frames", 2, "tbs", [8448 200], "output_dir", out);
%! assert (size (r), [1 2]);
%! check_results (r(1), 2, fullfile (out, "nr_ldpc_tb1"));
%! check_results (r(2), 2, fullfile (out, "nr_ldpc_tb2"));
%! assert ([r.bits], [16896 16896 400 400]);
%! assert ([r(1).frame_errors(2, :), r(2).frame_errors(2, :)], [0 0 0 0]);
%! assert (r(2).limits_dB, [0.19 2.11], 0.02);     # QPSK and 16-QAM at rate 1/2
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = polar_example ("EbN0_dB", [1 6], "max_frames", 2, "N", 64, "K", 40, "output_dir", out);
%! assert (size (r), [1 2]);
%! check_results (r(1), 3, fullfile (out, "polar_1024"));
%! check_results (r(2), 1, fullfile (out, "polar_control"));
%! assert ([r(1).bits(1), r(2).bits(1)], [58 106]);     # data bits: K - 11 per frame
%! assert ([r(1).frame_errors(2, :), r(2).frame_errors(2, :)], [0 0 0 0]);
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = relay_fsk_example ("EbN0_dB", [0 40], "max_frames", 2, "L", 200, "output_dir", out);
%! check_results (r, 4, fullfile (out, "relay_fsk"));
%! assert (r.bit_errors(2, 3:4), [0 0]);      # coded
%! assert (r.ber(2, 1:2) < 0.02);              # uncoded: diversity 1, errors remain
%! r = relay_fsk_example ("EbN0_dB", 40, "max_frames", 1, "L", 201, "M", 8, "coded", false,
%!                        "quiet", true);
%! assert (r.labels, {"uncoded, csi 1", "uncoded, csi 2"});
%! assert (r.bits, 201);
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");
%!error <M must be a power of two> relay_fsk_example ("M", 6, "quiet", true)

%!test
%! out = tempname ();
%! r = rate_matching_example ("EbN0_dB", [0 3], "max_frames", 2, "iterations", 2,
%!                            "decoder_type", 1, "output_dir", out);
%! check_results (r, 2, fullfile (out, "rate_matching"));
%! assert (r.bit_errors(2, :), [0 0]);
%! assert (r.bits, [3568 3568]);
%! ## A curve label holding a comma stays one column name per column.
%! [~, columns, table] = read_csv (fullfile (out, "rate_matching.csv"));
%! assert (columns([4 8]), {"space-link bit errors", "S-random, S = 25 bit errors"});
%! assert (size (table), [2, numel(columns)]);
%! r = rate_matching_example ("EbN0_dB", 4, "max_frames", 1, "iterations", 2, "rate", 3/4,
%!                            "decoder_type", 1, "quiet", true);
%! assert (r.bit_errors, [0 0]);
%! assert (strfind (r.title, "2379 bits sent"));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

## The S-random permutation comes from the run's seed, not from SpreadPermutation's
## clock-seeded stream: a second run with the same seed repeats every count, however far
## that stream has moved meanwhile.
%!test
%! run = @(seed) rate_matching_example ("EbN0_dB", 0.75, "max_frames", 2, "iterations", 2,
%!                                      "decoder_type", 1, "quiet", true, "seed", seed);
%! a = run (3);
%! SpreadPermutation (1784, 25);
%! b = run (3);
%! assert ([b.frames, b.bit_errors], [a.frames, a.bit_errors]);
%! assert (all (a.bit_errors > 0));
%!error <rate 0.3 needs 4147 parity bits> rate_matching_example ("rate", 0.3, "quiet", true)
%!error <SpaceLinkPermutation> rate_matching_example ("K", 1000, "quiet", true)

%!test
%! out = tempname ();
%! r = capacity_example ("EsN0_dB", [0 20], "symbols", 4000, "fading_EsN0_dB", [5 10],
%!                       "blocks", 500, "output_dir", out);
%! assert (r.labels, {"BPSK", "QPSK", "8-PSK", "16-QAM", "64-QAM"});
%! assert (r.bits_per_symbol, [1 2 3 4 6]);
%! assert (size (r.capacity), [2 5]);
%! assert (r.capacity(2, 1:4), [1 2 3 4], 0.01);   # saturated at 20 dB
%! assert (all (r.capacity(1, :) > 0.6 & r.capacity(1, :) < 1.1));
%! assert (r.gaussian', [1, log2(101)], 1e-12);
%! assert (size (r.fading.capacity), [2 5]);
%! assert (all (r.fading.capacity(:) > 0 & r.fading.capacity(:) <= 6));
%! assert (r.fading.gaussian', [1.7160 2.9065], 1e-4);
%! assert (exist (fullfile (out, "capacity.csv"), "file") == 2);
%! assert (exist (fullfile (out, "capacity_fading.csv"), "file") == 2);
%! [params, columns, table] = read_csv (fullfile (out, "capacity.csv"));
%! assert (params, struct ("EsN0_dB", [0 20], "symbols", 4000, "fading_EsN0_dB", [5 10],
%!                         "blocks", 500, "quiet", false, "output_dir", out, "plot", true,
%!                         "seed", 1));
%! assert (columns([1 2 end]), {"EsN0_dB", "BPSK bits per symbol", ...
%!                              "Gaussian bits per symbol"});
%! assert (table, [r.EsN0_dB', r.capacity, r.gaussian], 1e-5);
%! assert (read_csv (fullfile (out, "capacity_fading.csv")), params);
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

## The helpers behind the examples.

%!test
%! ## Every kind of parameter value is written on one line in a form that evaluates back
%! ## to the same value, class and shape included.
%! opts = struct ("EbN0_dB", 0:0.25:1.5, "rate", 1/3, "tiny", -2e-300, "g", [1 0 1; 1 1 1],
%!                "limits", [-Inf NaN], "column", [0.1; 0.7], "none", [], "row0", zeros (1, 0),
%!                "plot", true, "mask", [true false], "dir", "results", "odd", "a \"b\"\n\\",
%!                "names", {{"gray", "sp"; "x", [1 2]}}, "count", int32 ([7 -8]),
%!                "gain", single (0.1), "z", [1+2i, -3-0.5i], "block", ones (2, 1, 2),
%!                "chars", ["ab"; "cd"]);
%! file = tempname ();
%! fid = fopen (file, "w");
%! lf_write_parameters (fid, opts);
%! fclose (fid);
%! lines = strsplit (fileread (file), "\n");
%! delete (file);
%! names = fieldnames (opts);
%! assert (numel (lines), numel (names) + 1);
%! assert (lines{end}, "");                        # a newline ends the last line
%! for i = 1:numel (names)
%!   t = regexp (lines{i}, '^# (\w+) = (.*)$', "tokens", "once");
%!   expected = opts.(names{i});
%!   assert ({t{1}, class(eval (t{2}))}, {names{i}, class(expected)});
%!   assert (isequaln (eval (t{2}), expected), true, names{i});
%! endfor
%! ## Readable: numbers in their shortest exact form, strings quoted.
%! assert (lines([1:4 9 11]), {"# EbN0_dB = [0 0.25 0.5 0.75 1 1.25 1.5]", ...
%!                            "# rate = 0.3333333333333333", "# tiny = -2e-300", ...
%!                            "# g = [1 0 1; 1 1 1]", "# plot = true", "# dir = \"results\""});

%!test
%! ## Unit energy; Gray: the nearest neighbours of every point differ in one label bit.
%! for M = [4 16 64]
%!   S = lf_qam (M, "gray");
%!   assert (mean (abs (S) .^ 2), 1, 1e-12);
%!   assert (numel (unique (S)), M);
%!   d = abs (S.' - S);
%!   dmin = min (d(d > 1e-9));
%!   [k, l] = find (abs (d - dmin) < 1e-9);
%!   assert (all (arrayfun (@(a, b) sum (bitget (bitxor (a, b), 1:6)), k - 1, l - 1) == 1));
%!   assert (sort (lf_qam (M, "natural")), sort (S), 1e-12);
%!   assert (sort (lf_qam (M, "sp")), sort (S), 1e-12);
%! endfor
%! ## Natural: the first half of the label is the in-phase level index.
%! S = lf_qam (16, "natural") * sqrt (10);
%! assert (S([1 2 5 16]), [-3-3i, -3-1i, -1-3i, 3+3i], 1e-12);
%! ## Set partitioning: points sharing their j lowest label bits lie at least
%! ## sqrt(2)^j times the smallest distance apart.
%! S = lf_qam (16, "sp");
%! dmin = 2 / sqrt (10);
%! for j = 1:3
%!   for coset = 0:2^j-1
%!     P = S(mod (0:15, 2 ^ j) == coset);
%!     d = abs (P.' - P);
%!     assert (min (d(d > 1e-9)) >= sqrt (2) ^ j * dmin - 1e-9);
%!   endfor
%! endfor

%!test
%! for M = [2 4 8 16]
%!   S = lf_psk (M);
%!   assert (abs (S), ones (1, M), 1e-12);
%!   [~, order] = sort (mod (angle (S), 2 * pi));
%!   labels = order - 1;
%!   steps = bitxor (labels, labels([2:end 1]));
%!   ## Gray round the circle: neighbours differ in one bit.
%!   assert (all (arrayfun (@(s) sum (bitget (s, 1:4)), steps) == 1));
%! endfor
%! assert (lf_psk (2), [-1 1], 1e-12);

%!test
%! for N = [48 64 212 752]
%!   [alpha, swap] = lf_pair_permutation (N);
%!   assert (sort (alpha), 0:N-1);
%!   assert (swap, mod (0:N-1, 2) == 0);
%! endfor
%! [alpha, ~] = lf_pair_permutation (212);
%! ## j = 0..3: (13 j + {0, 212, 108, 108} + 1) mod 212
%! assert (alpha(1:4), [1, 14, 135, 148]);
%!error <no parameters for N = 100> lf_pair_permutation (100)

%!test
%! ## BPSK by one-dimensional adaptive quadrature of the real channel.
%! for EsN0_dB = [-6 0 4]
%!   s2 = 1 / (2 * 10 ^ (EsN0_dB / 10));
%!   density = @(y) exp (-(y - 1) .^ 2 / (2 * s2)) / sqrt (2 * pi * s2);
%!   f = @(y) density (y) .* log2 (1 + exp (-2 * y / s2));
%!   assert (lf_cm_capacity (lf_psk (2), EsN0_dB), 1 - quadgk (f, -30, 30), 1e-6);
%! endfor
%! ## Below the Gaussian-input capacity, approaching it at low and log2 M at high Es/N0,
%! ## and independent of the labelling.
%! c = lf_cm_capacity (lf_qam (16), [-15 0 10 30]);
%! assert (all (c <= log2 (1 + 10 .^ ([-15 0 10 30] / 10))));
%! assert (c(1), log2 (1 + 10 ^ -1.5), 1e-3);
%! assert (c(4), 4, 1e-9);
%! assert (lf_cm_capacity (lf_qam (16, "sp"), 10), c(3), 1e-12);

%!test
%! out = tempname ();
%! r = ldpc_example ("EbN0_dB", [1 6], "max_frames", 2, "k", 200, "iterations", 20,
%!                   "output_dir", out);
%! check_results (r, 6, fullfile (out, "ldpc_staircase"));
%! assert (r.bits, [400 400]);
%! assert (r.bit_errors(2, :), zeros (1, 6));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");
