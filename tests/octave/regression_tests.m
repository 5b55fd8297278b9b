## Regressions of the error rates and capacities the links must reach, with fixed
## seeds and thresholds far enough from the expected values that a healthy build
## passes for practically any seed: a check fails when decoding, demapping or the
## estimate has really degraded. Each test prints the figure it measured.

## The rate-1/3 turbo code (cellular permutation, g_encoder [1 0 1 1; 1 1 0 1],
## 12 tail bits), K = 1024, 8 iterations of exact log-MAP, at Eb/N0 = 1.0 dB: BER below
## 1e-4. A healthy decoder leaves about one frame in a thousand in error there, with 40
## wrong bits on average but up to 100, so its BER (near 4e-5) is not far below the
## threshold and a few heavy frames can cross it in a short run. The check therefore
## runs in two stages: 2000 frames pass when their BER is below 1e-4 (about 96% of
## healthy runs); otherwise 4000 more frames are run and all 6000 decide. A healthy
## decoder then fails in about one run in a thousand (one in a hundred were its frame
## error rate 1.5e-3), while one whose BER has doubled fails nine times in ten.
%!test
%! rand ("seed", 8); randn ("seed", 8);
%! K = 1024; g = [1 0 1 1; 1 1 0 1]; alpha = WcdmaPermutation (K);
%! sigma = lf_noise_sigma (1.0, K / (3 * K + 12), 1);
%! llr = @(c) 2 * lf_awgn (2 * c - 1, sigma) / sigma ^ 2;
%! frames = 0; errors = 0; frame_errors = 0;
%! for stage = [2000 4000]
%!   for f = 1:stage
%!     data = double (rand (1, K) > 0.5);
%!     [sys, p1, p2, tail] = lf_turbo_encode (data, g, alpha);
%!     app = lf_turbo_decode (llr (sys), llr (p1), llr (p2), llr (tail), g, alpha, 8, 4);
%!     e = sum ((app(end, :) > 0) != data);
%!     errors += e;
%!     frame_errors += e > 0;
%!   endfor
%!   frames += stage;
%!   ber = errors / (frames * K);
%!   if (ber < 1e-4)
%!     break;
%!   endif
%! endfor
%! printf ("turbo K = 1024 at 1.0 dB: %d bit errors, %d frame errors in %d frames, BER %.2e\n",
%!         errors, frame_errors, frames, ber);
%! assert (ber < 1e-4);

## The K = 7 (133, 171) code with Viterbi decoding at Eb/N0 = 4 dB: BER below 1e-4. A
## healthy decoder makes about one error event (some 6 wrong bits) per 5e5 bits (BER
## near 1.5e-5); 400 frames of 5000 bits allow 200 wrong bits against about 30
## expected.
%!test
%! rand ("seed", 9); randn ("seed", 9);
%! g = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1]; L = 5000;
%! sigma = lf_noise_sigma (4, L / (2 * (L + 6)), 1);
%! frames = 400; errors = 0;
%! for f = 1:frames
%!   data = double (rand (1, L) > 0.5);
%!   code = TrellisCoder (data, g, 1);
%!   llr = 2 * lf_awgn (2 * code - 1, sigma) / sigma ^ 2;
%!   errors += sum (TrellisBestPath (llr, g, 1) != data);
%! endfor
%! ber = errors / (frames * L);
%! printf ("K = 7 Viterbi at 4 dB: %d bit errors in %d bits, BER %.2e\n", errors,
%!         frames * L, ber);
%! assert (ber < 1e-4);

## The double-binary circular turbo code (N = 212 pairs, 8 iterations, QPSK) shows its
## waterfall: 1.25 dB up, every curve's BER falls more than tenfold. A healthy code
## falls from about 4e-2 (log-MAP, R = 1/3), 1.2e-1 (max-log) and 1e-1 (R = 1/2) at
## 0.25 dB to below 1e-4, about 7e-4 and about 1e-3 at 1.5 dB.
%!test
%! r = duobinary_turbo_example ("EbN0_dB", [0.25 1.5], "max_frames", 150,
%!                              "target_frame_errors", Inf, "max_seconds", Inf,
%!                              "quiet", true, "seed", 4);
%! assert (r.frames, [150 150]);
%! printf ("double-binary turbo, BER at 0.25 dB: %s; at 1.5 dB: %s\n",
%!         sprintf ("%.2e ", r.ber(1, :)), sprintf ("%.2e ", r.ber(2, :)));
%! assert (all (r.ber(1, :) > 1e-2));
%! assert (all (r.ber(2, :) < r.ber(1, :) / 10));

## Monte-Carlo capacities (Modulate, PlaneMetrics, Capacity) agree with numerical
## integration within 0.01 bit per symbol. With 6e5 symbols the estimate's standard
## deviation is at most about 0.002 (64-QAM near 15 dB), so 0.01 is five of them.
%!test
%! EsN0_dB = [-5 0 5 10 15 20];
%! r = capacity_example ("EsN0_dB", EsN0_dB, "symbols", 6e5, "fading_EsN0_dB", 10,
%!                       "blocks", 10, "quiet", true, "seed", 2);
%! integrated = zeros (numel (EsN0_dB), numel (r.sets));
%! for s = 1:numel (r.sets)
%!   integrated(:, s) = lf_cm_capacity (r.sets{s}, EsN0_dB, 48)';
%! endfor
%! deviation = abs (r.capacity - integrated);
%! printf ("capacity, largest deviation from integration: %.2e bit per symbol\n",
%!         max (deviation(:)));
%! assert (r.capacity, integrated, 0.01);

## The rate-1/2 staircase LDPC code of the examples (n = 2000, weight-3 data columns),
## 50 sum-product iterations, shows its waterfall: at 2.25 dB a healthy decoder leaves
## about one frame in fifty in error (BER near 1e-4), at 1.0 dB most frames (BER near
## 2e-2); the check asks the BER to fall at least tenfold, and below 2e-3 at 2.25 dB,
## over 60 frames per point.
%!test
%! rand ("seed", 11); randn ("seed", 11);
%! code = lf_ldpc_code (1000, 1000, 3);
%! ber = zeros (1, 2);
%! points = [1.0 2.25];
%! for p = 1:2
%!   sigma = lf_noise_sigma (points(p), 1 / 2, 1);
%!   errors = 0;
%!   for f = 1:60
%!     data = double (rand (1, 1000) > 0.5);
%!     codeword = ParityCheckCoder (data, code.H_rows);
%!     llr = 2 * lf_awgn (1 - 2 * codeword, sigma) / sigma ^ 2;
%!     [~, e] = SparseGraphSolve (llr, code.H_rows, code.H_cols, 50, 0, 1, 1, data);
%!     errors += e(end);
%!   endfor
%!   ber(p) = errors / (60 * 1000);
%! endfor
%! printf ("staircase LDPC, 50 iterations: BER %.2e at 1.0 dB, %.2e at 2.25 dB\n", ber);
%! assert (ber(2) < 2e-3);
%! assert (ber(2) * 10 <= ber(1));
