## 5G NR LDPC codes through the host: NrLdpcEncode and NrLdpcDecode on small codes,
## against the parity-check matrix built here from the table files, and bad input.

## H of base graph bg lifted by Z, from data/standards.
%!function H = lifted_h (bg, Z)
%! folder = fullfile (fileparts (file_in_loadpath ("nrldpc_tests.m")), "..", "..", "data", "standards");
%! sizes = csvread (fullfile (folder, "nr_ldpc_lifting_sizes.csv"), 1, 0);
%! set = sizes(sizes(:, 4) == Z, 1);
%! table = csvread (fullfile (folder, sprintf ("nr_ldpc_bg%d.csv", bg)), 1, 0);
%! H = zeros (max (table(:, 1) + 1) * Z, max (table(:, 2) + 1) * Z);
%! for e = 1:rows (table)
%!   P = mod (table(e, 3 + set), Z);
%!   H(table(e, 1) * Z + (1:Z), table(e, 2) * Z + (1:Z)) = circshift (eye (Z), P, 2);
%! endfor
%!endfunction

%!test
%! for code = [1 2; 2 4; 1 5]'
%!   [bg, Z] = deal (code(1), code(2));
%!   H = lifted_h (bg, Z);
%!   k = (bg == 1) * 22 * Z + (bg == 2) * 10 * Z;
%!   data = double (rand (3, k) > 0.5);
%!   c = NrLdpcEncode (data, bg, Z);
%!   assert (size (c), [3, columns(H)]);
%!   assert (c(:, 1:k), data);
%!   assert (all (mod (H * c', 2)(:) == 0));
%! endfor

%!test
%! [bg, Z] = deal (2, 4);
%! data = double (rand (5, 40) > 0.5);
%! c = NrLdpcEncode (data, bg, Z);
%! llr = 3 * (2 * c - 1) + randn (size (c));
%! llr(:, 1:2 * Z) = 0;
%! llr(2, 20) = -llr(2, 20);
%! [bits, app, iterations] = NrLdpcDecode (llr, bg, Z, 20, "normalized-min-sum", 0.8);
%! assert (bits, c);
%! assert (bits, double (app > 0));
%! assert (size (iterations), [5, 1]);
%! assert (all (iterations >= 1 & iterations < 20));
%! ## The algorithm by number, the thread count and a single row give the same results.
%! [bits2, app2, iterations2] = NrLdpcDecode (llr, bg, Z, 20, 2, 0.8, 1);
%! assert ({bits2, app2, iterations2}, {bits, app, iterations});
%! [bits3, app3] = NrLdpcDecode (llr(4, :), bg, Z, 20, "normalized-min-sum", 0.8, 2);
%! assert ({bits3, app3}, {bits(4, :), app(4, :)});
%! for algorithm = {"sum-product", "min-sum", "offset-min-sum"}
%!   assert (NrLdpcDecode (llr, bg, Z, 20, algorithm{1}), c);
%! endfor
%! assert (size (NrLdpcDecode (zeros (0, 208), bg, Z)), [0, 208]);

%!test
%! expect_error (@() NrLdpcEncode (zeros (1, 20), 2, 17), "Z = 17 is not an NR lifting size; the nearest is 16");
%! expect_error (@() NrLdpcEncode (zeros (1, 20), 3, 2), "bg = 3 is not a base graph: use 1 or 2");
%! expect_error (@() NrLdpcEncode (zeros (1, 19), 2, 2), "data must have Kb*Z = 10*2 = 20 columns, not 19");
%! expect_error (@() NrLdpcEncode ([2 zeros(1, 19)], 2, 2), "data must hold only 0 and 1 (2 found)");
%! expect_error (@() NrLdpcDecode (zeros (1, 103), 2, 2), "llr must have 52*Z = 104 columns, not 103");
%! expect_error (@() NrLdpcDecode ([NaN zeros(1, 103)], 2, 2), "llr must not contain NaN");
%! expect_error (@() NrLdpcDecode (zeros (1, 104), 2, 400), "Z = 400 is not an NR lifting size; the nearest is 384");
%! expect_error (@() NrLdpcDecode (zeros (1, 104), 2, 2, 5, "bp"), ...
%!               "algorithm 'bp' is not one of 'sum-product', 'min-sum', 'normalized-min-sum', 'offset-min-sum'");
%! expect_error (@() NrLdpcDecode (zeros (1, 104), 2, 2, 5, 2, -1), ...
%!               "scale_or_offset, the scale of normalized min-sum, must be positive and finite");
%! expect_error (@() NrLdpcDecode (zeros (1, 104), 2, 2, -1), "max_iterations must not be negative");

## Rate matching: rv 1 with filler bits and 4-bit symbols, recovered and decoded.
%!test
%! [bg, Z] = deal (1, 4);
%! data = [double(rand (2, 80) > 0.5), zeros(2, 8)];   # K' = 80 of K = 88
%! c = NrLdpcEncode (data, bg, Z);
%! sent = NrLdpcRateMatch (c, bg, Z, 200, 1, 4, 80);
%! assert (size (sent), [2, 200]);
%! y = 4 * (2 * sent - 1) + randn (size (sent));
%! L = NrLdpcRateRecover (y, bg, Z, 1, 4, 80);
%! assert (L(:, 81:88), -2^20 * ones (2, 8));
%! assert (NrLdpcRateRecover (zeros (0, 200), bg, Z, 1, 4, 80), zeros (0, 272));
%! sent2 = NrLdpcRateMatch (c, bg, Z, 240, 3, 4, 80);
%! L2 = L + NrLdpcRateRecover (4 * (2 * sent2 - 1) + randn (size (sent2)), bg, Z, 3, 4, 80);
%! L2(:, 81:88) = -2^20;
%! assert (NrLdpcDecode (L2, bg, Z, 25, "min-sum"), c);
%! expect_error (@() NrLdpcRateMatch (c, bg, Z, 201, 1, 4), "E = 201 is not a multiple of Qm = 4");
%! expect_error (@() NrLdpcRateMatch (c, bg, Z, 200, 4), "rv must be 0 to 3");
%! expect_error (@() NrLdpcRateRecover (y, bg, Z, 0, 9), "the modulation order Qm must be 1 to 8");
%! expect_error (@() NrLdpcRateRecover (y, bg, Z, 0, 4, 89), ...
%!               "the first filler bit K' must be 0 to K = 88 (or -1: no filler bits)");
%! expect_error (@() NrLdpcRateMatch (c(:, 2:end), bg, Z, 200), "codeword must have 68*Z = 272 columns, not 271");

## The chain's parameters for a transport block, then one of its code blocks through it.
%!test
%! w = golden ("nr_segment");
%! for k = 1:numel (w.A)
%!   G = {w.G{k}, w.Qm{k}}(1:2 * (w.G{k} > 0));
%!   [bg, Z, C, K_prime, K, E, tb_crc, cb_crc] = NrLdpcSegment (w.A{k}, w.R{k}, G{:});
%!   assert ({bg, Z, C, K_prime, K, tb_crc, cb_crc}, {w.bg{k}, w.Z{k}, w.C{k}, w.K_prime{k}, w.K{k}, w.tb_crc{k}, w.cb_crc{k}});
%!   assert (isequal (E, w.E{k}) || isempty (E) && isempty (w.E{k}));
%! endfor
%! [bg, Z, C, K_prime, K, E] = NrLdpcSegment (8456, 0.8, 9000, 2);
%! data = [double(rand (1, K_prime) > 0.5), zeros(1, K - K_prime)];
%! c = NrLdpcEncode (data, bg, Z);
%! sent = NrLdpcRateMatch (c, bg, Z, E(1), 0, 2, K_prime);
%! L = NrLdpcRateRecover (3 * (2 * sent - 1), bg, Z, 0, 2, K_prime);
%! assert (NrLdpcDecode (L, bg, Z, 10, "normalized-min-sum"), c);
%! [~, ~, ~, ~, ~, E0] = NrLdpcSegment (100, 0.5);
%! assert (size (E0), [0, 0]);
%! expect_error (@() NrLdpcSegment (100, 0), "the code rate R must be above 0 and at most 1");
%! expect_error (@() NrLdpcSegment (100, 0.5, 10, 4), "G = 10 is not a multiple of Qm * layers = 4");
%! expect_error (@() NrLdpcSegment (0, 0.5), "A must be 1 to 2^30");
