## Sparse-graph codes through the host: ParityCheckCoder, SparseGraphSolve,
## GraphStateSetup and GraphStateStep, with the state made by GraphStateCreate.

## One row per row of A listing the 1-based columns of its ones, zero padded.
%!function L = lists (A)
%! d = sum (A != 0, 2);
%! L = zeros (rows (A), max ([d; 0]));
%! for i = 1:rows (A)
%!   L(i, 1:d(i)) = find (A(i, :));
%! endfor
%!endfunction

## Inverse over GF(2), or [] when A is singular.
%!function X = gf2_inv (A)
%! z = rows (A);
%! X = eye (z);
%! for c = 1:z
%!   p = find (A(c:end, c), 1) + c - 1;
%!   if (isempty (p))
%!     X = [];
%!     return;
%!   endif
%!   A([c p], :) = A([p c], :);
%!   X([c p], :) = X([p c], :);
%!   for r = [1:c-1, c+1:z]
%!     if (A(r, c))
%!       A(r, :) = mod (A(r, :) + A(c, :), 2);
%!       X(r, :) = mod (X(r, :) + X(c, :), 2);
%!     endif
%!   endfor
%! endfor
%!endfunction

## A code of k data columns of weight w, staircase (z = 0) or block staircase: H_rows
## and H_cols describe the explicit columns, H is all of H with the parity part.
%!function [H_rows, H_cols, P, H] = random_code (k, m, z, w)
%! do
%!   A = zeros (m, k + z);
%!   for v = 1:k
%!     A(randperm (m, w), v) = 1;
%!   endfor
%!   A(1, 1) = 1;
%!   P = [];
%!   ok = true;
%!   if (z > 0)
%!     A(1:z, k+1:k+z) = eye (z)(randperm (z), :);
%!     A(z+1:m, k+1:k+z) = rand (m - z, z) < 0.25;
%!     S = zeros (z);
%!     for b = 0:m/z-1
%!       S = mod (S + A(b*z+1:(b+1)*z, k+1:k+z), 2);
%!     endfor
%!     P = gf2_inv (S);
%!     ok = ! isempty (P) && all (any (A(m-z+1:m, :), 2));
%!   endif
%! until (ok)
%! H = [A, zeros(m, m - z)];
%! for i = z:m-1
%!   if (z == 0)
%!     H(i+1, k+i+1) = 1;
%!     if (i + 1 < m)
%!       H(i+2, k+i+1) = 1;
%!     endif
%!   else
%!     H(i-z+1, k+i+1) = 1;
%!     H(i+1, k+i+1) = 1;
%!   endif
%! endfor
%! H_rows = lists (A);
%! H_cols = lists (A');
%!endfunction

## phi(x) = ln((e^x + 1) / (e^x - 1)) in single precision.
%!function p = phi (x)
%! y = exp (single (x));
%! p = log ((y + 1) / (y - 1));
%!endfunction

## ---------------------------------------------------------------------------------
## ParityCheckCoder

%!test
%! w = golden ("ldpc_staircase");
%! h = cell2mat (w.h_rows');
%! for i = 1:numel (w.data)
%!   assert (ParityCheckCoder (w.data{i}, h), w.codeword{i});
%! endfor
%! assert (ParityCheckCoder (w.data{1}, h, []), w.codeword{1});
%! assert (ParityCheckCoder (w.data{1}, h, zeros (0, 3)), w.codeword{1});
%!assert (ParityCheckCoder ([0 0 0 0], [1 3; 2 4; 1 4; 2 3], [1 0; 0 1]), zeros (1, 8))
%!assert (ParityCheckCoder ([0 0], [1 2; 2 0]), zeros (1, 4))
## Row 2 also lists p0 (position 3), row 1 lists p1 (position 4, still 0 when read).
%!assert (ParityCheckCoder ([1 0], [1 4; 3 0]), [1 0 1 0])
## Conventions: logical, int and single arguments; positions truncate toward zero.
%!assert (ParityCheckCoder (logical ([1 0]), int32 ([1 2; 2 0])), [1 0 1 1])
%!assert (ParityCheckCoder (single ([1 0]), [1.9 2.5; 2.99 0]), [1 0 1 1])
%!assert (ParityCheckCoder ([], zeros (0, 2)), zeros (1, 0))
%!assert (ParityCheckCoder ([1 1], zeros (0, 2)), [1 1])

## Codewords satisfy every check of H, in both layouts, and decode noiselessly in one
## iteration, in the layout and in full.
%!test
%! rand ("seed", 3);
%! for z = [0 0 4 8]
%!   k = 48; m = 40;
%!   [H_rows, H_cols, P, H] = random_code (k, m, z, 3);
%!   data = double (rand (1, k) > 0.5);
%!   c = ParityCheckCoder (data, H_rows, P);
%!   assert (c(1:k), data);
%!   assert (all (mod (H * c', 2) == 0));
%!   llr = 20 * (1 - 2 * c);
%!   for dec_type = [0 1]
%!     [out, err] = SparseGraphSolve (llr, H_rows, H_cols, 5, dec_type, 1, 1, data);
%!     assert (err, zeros (5, 1));
%!     assert (out, [c; zeros(4, k + m)]);
%!     [out, err] = SparseGraphSolve (llr, lists (H), lists (H'), 5, dec_type, 1, 1, data);
%!     assert (err, zeros (5, 1));
%!     assert (out(1, :), c);
%!   endfor
%! endfor

%!test
%! usage = " Usage:    codeword    = ParityCheckCoder( data, H_rows, [P]) ";  # the host drops the final line feed
%! expect_error (@() ParityCheckCoder ([1 0]), usage);
%! expect_error (@() ParityCheckCoder ([1 0], [1 2], [], 4), usage);
%! expect_error (@() ParityCheckCoder ([1 0], [1 2]), " only 1 output ", 2);
%! expect_error (@() ParityCheckCoder ([1 2], [1 2]), "data must hold only 0 and 1 (data(2) is 2)");
%! expect_error (@() ParityCheckCoder ([0.5 1], [1 2]), "data must hold only 0 and 1 (data(1) is 0.5)");
%! expect_error (@() ParityCheckCoder ([1 0], [1 4]), "H_rows(1,2) = 4 is not a position in 1..3");
%! expect_error (@() ParityCheckCoder ([1 0], [0.5 2]), "H_rows(1,1) = 0.5 is not a position in 1..3");
%! expect_error (@() ParityCheckCoder ([1 0], [-1 2]), "H_rows(1,1) = -1 is not a position in 1..3");
%! expect_error (@() ParityCheckCoder ([1 0], [NaN 2]), "H_rows(1,1) = nan is not a position in 1..3");
%! expect_error (@() ParityCheckCoder ([1 0 1], [1 2; 3 0], eye (2)), "z = 2 (the rows of P) must divide both k = 3 and m = 2, with m >= z");
%! expect_error (@() ParityCheckCoder ([1 0], [1; 2; 1], eye (2)), "z = 2 (the rows of P) must divide both k = 2 and m = 3, with m >= z");
%! expect_error (@() ParityCheckCoder ([1 0], zeros (0, 1), eye (2)), "z = 2 (the rows of P) must divide both k = 2 and m = 0, with m >= z");
%! expect_error (@() ParityCheckCoder ([1 0], [1 2; 2 1], ones (2, 3)), "P must be square, z x z (it is 2 x 3)");
%! expect_error (@() ParityCheckCoder ([1 0], [1 2; 2 1], [2 0; 0 1]), "P must hold only 0 and 1 (2 found)");
%! expect_error (@() ParityCheckCoder ({1}, [1 2]), "data must be a numeric or logical array, not cell");

## ---------------------------------------------------------------------------------
## SparseGraphSolve

%!shared H_rows3, H_cols3, c3
%! ## Staircase, m = 3, k = 2: check 0 holds bits 0, 1 and 2, check 1 bits 1, 2 and 3,
%! ## check 2 bits 0, 3 and 4; bit 4 has only check 2.
%! H_rows3 = [1 2; 2 0; 1 0];
%! H_cols3 = [1 3; 1 2];
%! c3 = ParityCheckCoder ([1 1], H_rows3);

%!test
%! assert (c3, [1 1 0 1 0]);
%! H = [1 1 1 0 0; 0 1 1 1 0; 1 0 0 1 1];
%! assert (mod (H * c3', 2), zeros (3, 1));
%! ## The staircase graph is the full graph of H, edge for edge: the same results.
%! randn ("seed", 5);
%! llr = 1 - 2 * c3 + 0.9 * randn (1, 5);
%! for dec_type = [0 1]
%!   [a, ea] = SparseGraphSolve (llr, H_rows3, H_cols3, 10, dec_type, 0.8, 0.9, [1 1]);
%!   [b, eb] = SparseGraphSolve (llr, lists (H), lists (H'), 10, dec_type, 0.8, 0.9, [1 1]);
%!   assert (a, b);
%!   assert (ea, eb);
%! endfor

## Block staircase against the same code in full, with noise, for several iterations.
%!test
%! rand ("seed", 8); randn ("seed", 8);
%! [H_rows, H_cols, P, H] = random_code (30, 30, 5, 3);
%! data = double (rand (1, 30) > 0.5);
%! c = ParityCheckCoder (data, H_rows, P);
%! llr = 2 * (1 - 2 * c + 0.8 * randn (1, 60)) / 0.64;
%! for dec_type = [0 1]
%!   [a, ea] = SparseGraphSolve (llr, H_rows, H_cols, 12, dec_type, 1, 1, data);
%!   [b, eb] = SparseGraphSolve (llr, lists (H), lists (H'), 12, dec_type, 1, 1, data);
%!   assert (a, b);
%!   assert (ea, eb);
%! endfor

## Large positive values and no data: iteration 1 decides all zeros and decoding stops.
%!test
%! [out, err] = SparseGraphSolve (50 * ones (1, 5), H_rows3, H_cols3);
%! assert (out, zeros (30, 5));
%! assert (err, zeros (30, 1));
%! [out, err] = SparseGraphSolve (50 * ones (1, 5), H_rows3, H_cols3, 4, 1);
%! assert (size (out), [4 5]);
%! assert (size (err), [4 1]);

## Errors count the data bits only; iterations not run stay 0.
%!test
%! llr = 6 * (1 - 2 * c3);
%! [out, err] = SparseGraphSolve (llr, H_rows3, H_cols3, 3, 0, 1, 1, [0 0]);
%! assert (err, [2; 2; 2]);
%! assert (out, repmat (c3, 3, 1));
%! [out, err] = SparseGraphSolve (llr, H_rows3, H_cols3, 3, 0, 1, 1, [1 1]);
%! assert (err, [0; 0; 0]);
%! assert (out, [c3; 0 0 0 0 0; 0 0 0 0 0]);

## dec_type 3 and -1 run the sum-product decoder; fractional arguments truncate; int32,
## single and logical arguments are taken.
%!test
%! randn ("seed", 2);
%! llr = 2 * (1 - 2 * c3) + randn (1, 5);
%! ref = SparseGraphSolve (llr, H_rows3, H_cols3, 6, 0, 1, 1, [1 1]);
%! assert (SparseGraphSolve (llr, H_rows3, H_cols3, 6, 3, 1, 1, [1 1]), ref);
%! assert (SparseGraphSolve (llr, H_rows3, H_cols3, 6, -1, 1, 1, [1 1]), ref);
%! assert (SparseGraphSolve (llr, H_rows3, H_cols3, 6.9, 0.5, 1, 1, [1.5 1.2]), ref);
%! assert (SparseGraphSolve (single (llr), int32 (H_rows3), int32 (H_cols3), int32 (6), 0, single (1), 1, logical ([1 1])), ref);
%! ms = SparseGraphSolve (llr, H_rows3, H_cols3, 6, 1, 0.7, 1, [1 1]);
%! assert (SparseGraphSolve (llr, H_rows3, H_cols3, 6, 1.8, 0.7, 1, [1 1]), ms);
%! ## 1-based positions truncate: values in (0, 2) all name position 1.
%! assert (SparseGraphSolve (llr, H_rows3 + 0.5 * (H_rows3 > 0), H_cols3 + 0.25, 6, 0, 1, 1, [1 1]), ref);

## A min-sum check of degree 1 sends 1000 times r_scale_factor.
%!test
%! ## Check 0 on bit 0 alone; bit 1 on no check.
%! assert (SparseGraphSolve ([-2 -1], [1], [1; 0], 1, 1, 0.001), [1 1]);
%! assert (SparseGraphSolve ([-2 -1], [1], [1; 0], 1, 1, 0.003), [0 1]);

## max_iter 0 runs nothing; empty codes decode.
%!test
%! [out, err] = SparseGraphSolve (ones (1, 5), H_rows3, H_cols3, 0);
%! assert (size (out), [0 5]);
%! assert (size (err), [0 1]);
%! [out, err] = SparseGraphSolve ([], zeros (0, 2), zeros (0, 3), 2);
%! assert (size (out), [2 0]);
%! assert (err, [0; 0]);

## At Eb/N0 = 2.5 dB both decoders decode most frames of a random rate-1/2 code.
%!test
%! rand ("seed", 11); randn ("seed", 11);
%! k = 500; m = 500;
%! [H_rows, H_cols] = random_code (k, m, 0, 3);
%! sigma = sqrt (1 / 10 ^ 0.25);
%! decoded = [0 0];
%! for frame = 1:10
%!   data = double (rand (1, k) > 0.5);
%!   c = ParityCheckCoder (data, H_rows);
%!   llr = 2 * (1 - 2 * c + sigma * randn (1, k + m)) / sigma ^ 2;
%!   [~, err] = SparseGraphSolve (llr, H_rows, H_cols, 50, 0, 1, 1, data);
%!   decoded(1) += any (err == 0);
%!   [~, err] = SparseGraphSolve (llr, H_rows, H_cols, 50, 1, 0.75, 1, data);
%!   decoded(2) += any (err == 0);
%! endfor
%! assert (decoded >= [8 8]);

%!test
%! usage = "Usage: [output, errors] = SparseGraphSolve(input, H_rows, H_cols, max_iter, dec_type, r_scale_factor, q_scale_factor, data )";
%! x = ones (1, 5);
%! expect_error (@() SparseGraphSolve (x, H_rows3), usage);
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3), usage, 3);
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 1 0]), "Error: Incorrect number of data bits");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 0, 1, 1, [1; 1]), "Error: Incorrect number of data bits");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 2), "dec_type = 2 not currently supported");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 2, 1, 1, [1 1 1]), "Error: Incorrect number of data bits");
%! expect_error (@() SparseGraphSolve (x, H_rows3, [1 0]), "Error: Number of rows in H_cols must equal number of received bits or number of data bits");
%! expect_error (@() SparseGraphSolve (x, H_rows3, ones (6, 1)), "Error: Number of rows in H_cols must equal number of received bits or number of data bits");
%! expect_error (@() SparseGraphSolve (ones (1, 2), H_rows3, H_cols3), "Error: Number of rows in H_rows must not exceed number of received bits");
%! expect_error (@() SparseGraphSolve (ones (1, 7), ones (4, 1), ones (6, 1)), "Error: Block staircase layout: z = 3 (rows of H_cols beyond the 3 data columns) must split the 4 parity bits into at least two blocks");
%! expect_error (@() SparseGraphSolve (x, [0 0; 2 0; 1 0], [3 0; 2 0]), "Error: Row 1 of H_rows lists no position; the first check of the staircase layout needs one");
%! expect_error (@() SparseGraphSolve (ones (1, 5), [1 2; 1 0; 0 0], [1 2; 1 0; 0 0]), "Error: Row 3 of H_rows lists no position; every check of the first and last blocks of the block staircase layout needs one");
%! expect_error (@() SparseGraphSolve (x, [1 3; 2 0; 1 0], H_cols3), "Error: H_rows(1,2) is not a position in 1..2");
%! expect_error (@() SparseGraphSolve (x, H_rows3, [1 4; 1 2]), "Error: H_cols(1,2) is not a position in 1..3");
%! expect_error (@() SparseGraphSolve (x, [0 1; 2 0; 1 0], H_cols3), "Error: H_rows(1,1) is empty but later cells of row 1 list positions; list the positions first, then zeros");
%! expect_error (@() SparseGraphSolve (x, [1 1; 2 0; 1 0], H_cols3), "Error: Row 1 of H_rows lists position 1 twice");
%! expect_error (@() SparseGraphSolve (x, H_rows3, [1 3 1; 1 2 0]), "Error: Row 1 of H_cols lists position 1 twice");
%! expect_error (@() SparseGraphSolve (x, [1 2; 2 0; 2 0], H_cols3), "Error: H_rows and H_cols disagree: row 3 of H_rows lists position 2, but row 2 of H_cols does not list 3");
%! expect_error (@() SparseGraphSolve (x, [1 0; 2 0; 1 0], H_cols3), "Error: H_rows and H_cols disagree: row 2 of H_cols lists position 1, but row 1 of H_rows does not list 2");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, -1), "Error: max_iter must not be negative");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, NaN), "max_iter must be a finite number");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 1e10), "max_iter is out of range");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, NaN), "dec_type must be a finite number");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 0, NaN), "r_scale_factor must be a finite number");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 0, 1, 1e300), "q_scale_factor must be a finite number");
%! expect_error (@() SparseGraphSolve ([1 NaN 1 1 1], H_rows3, H_cols3), "input must not contain NaN");
%! expect_error (@() SparseGraphSolve (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 NaN]), "data must not contain NaN");
%! expect_error (@() SparseGraphSolve (x, {1}, H_cols3), "H_rows must be a numeric or logical array, not cell");
%! expect_memory_refusal (@() SparseGraphSolve (x, H_rows3, H_cols3, 2^31 - 1), "the decoder");

## ---------------------------------------------------------------------------------
## SparseGraphDecode: every row is SparseGraphSolve's result for that row alone (whose
## values are of the opposite sign), in every layout, for both decoders, with scale
## factors and per-row early stops.

%!function check_rows (input, H_rows, H_cols, max_iter, dec_type, r, q, data)
%! F = rows (input);
%! for threads = [1 3]
%!   [out, err, runs] = SparseGraphDecode (-input, H_rows, H_cols, max_iter, dec_type, r, q, data, threads);
%!   assert (size (out), size (input));
%!   assert (size (err), [F max_iter]);
%!   for f = 1:F
%!     ref_data = data(min (f, rows (data)), :);
%!     [o, e] = SparseGraphSolve (input(f, :), H_rows, H_cols, max_iter, dec_type, r, q, ref_data);
%!     last = find (e == 0, 1);
%!     if (isempty (last))
%!       last = max_iter;
%!     endif
%!     assert (runs(f), last);
%!     assert (err(f, :), e');
%!     assert (out(f, :), o(last, :));
%!   endfor
%! endfor
%!endfunction

%!test
%! randn ("seed", 7); rand ("seed", 7);
%! k = 60; m = 40; F = 21;
%! for z = [0 5]
%!   [H_rows, H_cols, P, H] = random_code (k, m, z, 3);
%!   data = double (rand (F, k) > 0.5);
%!   input = zeros (F, k + m);
%!   for f = 1:F
%!     c = ParityCheckCoder (data(f, :), H_rows, P);
%!     input(f, :) = 2 * (1 - 2 * c + 0.8 * randn (1, k + m)) / 0.64;
%!   endfor
%!   input(2, 3) = 0;
%!   for dec_type = [0 1]
%!     check_rows (input, H_rows, H_cols, 8, dec_type, 0.8, 1.1, data);
%!     check_rows (input, lists (H), lists (H'), 6, dec_type, 1, 1, data);   # full layout
%!     check_rows (input, H_rows, H_cols, 5, dec_type, 1, 0.9, data(1, :));  # one reference
%!   endfor
%! endfor

## Defaults, no iterations, no rows, and the arguments read as SparseGraphSolve reads them.
%!test
%! llr = [2 -1 0.5 3 -1; 1 1 1 1 1; -3 2 2 -1 4];
%! out = SparseGraphDecode (-llr, H_rows3, H_cols3);
%! for f = 1:3
%!   [o, e] = SparseGraphSolve (llr(f, :), H_rows3, H_cols3);
%!   last = [find(e == 0, 1), 30](1);
%!   assert (out(f, :), o(last, :));
%! endfor
%! [out, err, runs] = SparseGraphDecode (llr, H_rows3, H_cols3, 0);
%! assert (out, zeros (3, 5));
%! assert (size (err), [3 0]);
%! assert (runs, zeros (3, 1));
%! [out, err, runs] = SparseGraphDecode (zeros (0, 5), H_rows3, H_cols3, 4);
%! assert (size (out), [0 5]);
%! assert (size (err), [0 4]);
%! assert (size (runs), [0 1]);
%! ref = SparseGraphDecode (llr, H_rows3, H_cols3, 6, 0, 1, 1, [1 1]);
%! assert (SparseGraphDecode (single (llr), int32 (H_rows3), int32 (H_cols3), 6.9, 0.5, single (1), 1, logical ([1 1])), ref);
%! assert (SparseGraphDecode (llr, H_rows3, H_cols3, 6, 3, 1, 1, [1.5 1.2], 2), ref);

%!test
%! usage = "Usage: [output, errors, iterations_run] = SparseGraphDecode(input, H_rows, H_cols, max_iter, dec_type, r_scale_factor, q_scale_factor, data, threads)";
%! x = ones (2, 5);
%! expect_error (@() SparseGraphDecode (x, H_rows3), usage);
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3), usage, 4);
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 1], 1, 1), usage);
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 1 0]), "Error: Incorrect number of data bits");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1, ones (3, 2)), "data must have one row, or one row per row of input");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 2), "dec_type = 2 not currently supported");
%! expect_error (@() SparseGraphDecode (x, H_rows3, [1 0]), "Error: Number of rows in H_cols must equal number of received bits or number of data bits");
%! expect_error (@() SparseGraphDecode (ones (2, 2), H_rows3, H_cols3), "Error: Number of rows in H_rows must not exceed number of received bits");
%! expect_error (@() SparseGraphDecode (x, [1 1; 2 0; 1 0], H_cols3), "Error: Row 1 of H_rows lists position 1 twice");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, -1), "Error: max_iter must not be negative");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, NaN), "max_iter must be a finite number");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, NaN), "r_scale_factor must be a finite number");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1e300), "q_scale_factor must be a finite number");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 1], -1), "threads must be 0 (all) to 1024");
%! expect_error (@() SparseGraphDecode ([1 1 1 1 1; 1 NaN 1 1 1], H_rows3, H_cols3), "input must not contain NaN");
%! expect_error (@() SparseGraphDecode (x, H_rows3, H_cols3, 5, 0, 1, 1, [1 NaN]), "data must not contain NaN");
%! expect_memory_refusal (@() SparseGraphDecode (x, H_rows3, H_cols3, 2^31 - 1), "the decoder");

## ---------------------------------------------------------------------------------
## GraphStateSetup and GraphStateStep

%!shared H, Hr, Hc, vn, cn, ci, vi
%! H = [1 1 1 0 0 0; 0 0 1 1 1 0; 1 0 0 0 1 1];
%! Hr = lists (H);
%! Hc = lists (H');
%! [vn, cn, ci, vi] = GraphStateCreate (Hr, Hc);

## The set-up writes into the caller's structure arrays: channel values, lists, sockets
## and the starting q messages (phi domain).
%!test
%! assert (ci, [0 1 2; 2 3 4; 0 4 5]);
%! assert (vi, [0 2; 0 -1; 0 1; 1 -1; 1 2; 2 -1]);
%! GraphStateSetup ([0 -3.5 10 10.5 5 5.5], ci, vi, vn, cn);
%! assert ([vn.channel], single ([0 -3.5 10 10.5 5 5.5]));
%! assert (vn(1).q_magnitude, single ([10 10]));
%! assert (vn(1).q_sign, int32 ([0 0]));
%! assert (vn(2).q_magnitude, phi (3.5), -2 * eps ("single"));
%! assert (vn(2).q_sign, int32 (1));
%! q = single (golden ("ldpc_staircase").q);     # bits 1, 3, 4, 6, 5
%! assert (vn(3).q_magnitude, q([2 2]));
%! assert (vn(4).q_magnitude, q(3));
%! assert (vn(5).q_magnitude, [1 1] * phi (5), -2 * eps ("single"));
%! assert (abs (vn(5).q_magnitude(1) - q(5)) < 1e-6);
%! assert (vn(6).q_magnitude, q(4));
%! assert (cn(2).bits, int32 ([2 3 4]));
%! assert (vn(5).checks, int32 ([1 2]));
%! assert (cn(3).r, single ([0 0 0]));
%! ## Sockets lead back to the same edge from both sides.
%! for i = 1:numel (cn)
%!   for j = 1:cn(i).degree
%!     v = cn(i).bits(j) + 1;
%!     s = cn(i).sockets(j) + 1;
%!     assert (vn(v).checks(s), int32 (i - 1));
%!     assert (vn(v).sockets(s), int32 (j - 1));
%!   endfor
%! endfor

## One step with the negated values is the first sum-product iteration of
## SparseGraphSolve (scale factors 1) on the same block; later steps keep tracking it.
%!test
%! rand ("seed", 4); randn ("seed", 4);
%! [H_rows, H_cols, ~, Hf] = random_code (60, 60, 0, 3);
%! Fr = lists (Hf);
%! Fc = lists (Hf');
%! data = double (rand (1, 60) > 0.5);
%! c = ParityCheckCoder (data, H_rows);
%! llr = 2 * (1 - 2 * c + 0.8 * randn (1, 120)) / 0.64;
%! [v, k, check_index, var_index] = GraphStateCreate (Fr, Fc);
%! GraphStateSetup (llr, check_index, var_index, v, k);
%! ref = SparseGraphSolve (llr, Fr, Fc, 6, 0, 1, 1, data);
%! for it = 1:6
%!   [app, bits] = GraphStateStep (-llr, v, k, 60);
%!   sure = abs (app) > 1e-3;
%!   assert (bits(sure), ref(it, sure));
%!   if (! any (ref(it, 1:60) != data))
%!     break;
%!   endif
%! endfor
%! ## The state also matches the layout's graph: the staircase description decodes the same.
%! assert (SparseGraphSolve (llr, H_rows, H_cols, 6, 0, 1, 1, data), ref);
%! ## And the sockets of a random graph lead back.
%! for i = 1:numel (k)
%!   for j = 1:k(i).degree
%!     b = k(i).bits(j) + 1;
%!     s = k(i).sockets(j) + 1;
%!     assert ([v(b).checks(s), v(b).sockets(s)], int32 ([i - 1, j - 1]));
%!   endfor
%! endfor

## Step edge cases: a bit of degree 0 outputs its input; E = 0 gives sign 1 and phi0(0);
## a check of degree 0 is skipped; no bits give 1 x 0 outputs.
%!test
%! [v, k] = GraphStateCreate ([1; 0], [1; 0]);
%! GraphStateSetup ([1 3], [0; 0], [0; 0], v, k);
%! [out, bits] = GraphStateStep ([0 -2.5], v, k, 2);
%! assert (k(1).r, single (10));
%! assert (out, [-10 -2.5]);
%! assert (bits, [0 0]);
%! assert (v(1).q_sign, int32 (1));
%! assert (v(1).q_magnitude, single (10));
%! [v0, k0] = GraphStateCreate (zeros (2, 0), zeros (0, 1));
%! [out, bits] = GraphStateStep (zeros (1, 0), v0, k0, 2);
%! assert (size (out), [1 0]);
%! assert (size (bits), [1 0]);

## Sockets of an edge whose partner does not list it keep their contents.
%!test
%! [v, k] = GraphStateCreate ([2; 1], [2; 1]);
%! v(1).sockets = int32 (77);
%! k(1).sockets = int32 (79);
%! GraphStateSetup ([1 2], [1; 0], [0; 1], v, k);   # check 0 lists bit 1, bit 0 lists check 0
%! assert (v(1).sockets, int32 (77));
%! assert (k(1).sockets, int32 (79));

## Arrays that share storage are refused before anything is written: a state made with
## repmat, one variable assigned to many fields, overlapping slices of one array.
%!test
%! template = struct ("degree", int32 (1), "channel", single (0), "checks", int32 (0), ...
%!                    "sockets", int32 (0), "q_magnitude", single (0), "q_sign", int32 (0));
%! [~, k1] = GraphStateCreate ([1 2], [1; 1]);
%! shared = repmat (template, 1, 2);
%! try
%!   GraphStateSetup ([1 2], [0 1], [0; 0], shared, k1);
%!   error ("a state made with repmat was accepted");
%! catch err
%!   assert (regexp (err.message, '^GraphStateSetup: vn_state\(2\)\.(\w+) \(field \d, [a-z ]+\) shares its storage with vn_state\(1\)\.\1 \(field \d, [a-z ]+\), so writing one would change the other; give every field its own array \(GraphStateCreate does\)$'), 1);
%! end_try_catch
%! assert (shared(1).channel, single (0));
%! [v, k] = GraphStateCreate ([1 2], [1; 1]);
%! q = single (0);
%! [v.q_magnitude] = deal (q);
%! expect_error (@() GraphStateStep ([1 2], v, k, 1), "vn_state(2).q_magnitude (field 5, q magnitudes) shares its storage with vn_state(1).q_magnitude (field 5, q magnitudes), so writing one would change the other; give every field its own array (GraphStateCreate does)");
%! [v, k] = GraphStateCreate ([1 2], [1; 1]);
%! x = int32 ([0 0 0]);
%! k(1).bits = x(1:2);
%! v(1).sockets = x(2:3);
%! expect_error (@() GraphStateSetup ([1 2], [0 1], [0; 0], v, k), "cn_state(1).bits (field 2, bit indices) shares its storage with vn_state(1).sockets (field 4, sockets), so writing one would change the other; give every field its own array (GraphStateCreate does)", 0);
%! assert (x, int32 ([0 0 0]));
%! ## Read-only fields may share: a degree assigned from one variable is fine.
%! [v, k] = GraphStateCreate ([1 2], [1; 1]);
%! d = int32 (1);
%! [v.degree] = deal (d);
%! GraphStateSetup ([1 2], [0 1], [0; 0], v, k);
%! GraphStateStep ([1 2], v, k, 1);

## A step may process part of the state: no bits at all (1 x 0 outputs, the checks still
## update), or the first bits after the checks were updated, as one whole step does.
%!test
%! x = [1 -1 2 -2 3 -3];
%! [v, k, c, w] = GraphStateCreate (Hr, Hc);
%! [v2, k2] = GraphStateCreate (Hr, Hc);
%! GraphStateSetup (x, c, w, v, k);
%! GraphStateSetup (x, c, w, v2, k2);
%! [whole, whole_bits] = GraphStateStep (-x, v2, k2, 3);
%! [out, bits] = GraphStateStep (zeros (1, 0), v, k, 3);
%! assert (size (out), [1 0]);
%! assert (size (bits), [1 0]);
%! assert ({k.r}, {k2.r});
%! [out, bits] = GraphStateStep (-x(1:4), v, k, 0);
%! assert ([out; bits], [whole(1:4); whole_bits(1:4)]);
%! assert ({v(1:4).q_magnitude}, {v2(1:4).q_magnitude});

## GraphStateCreate refuses descriptions that are not one valid H.
%!error <Invalid call> GraphStateCreate ([1 2])
%!error <do not describe the same matrix> GraphStateCreate ([1 2], [1; 0])
%!error <lists a position twice> GraphStateCreate ([1 1], [0 0; 1 1])
%!error <H_rows lists a position outside 1..2> GraphStateCreate ([1 3], [1; 1])
%!error <each row of H_cols must list its positions first> GraphStateCreate ([1 2], [0 1; 1 0])
%!error <H_rows must be a real full numeric matrix> GraphStateCreate ({1}, [1; 1])

%!test
%! usage = "Usage: GraphStateSetup(input, check_index, var_index, vn_state, cn_state)";
%! expect_error (@() GraphStateSetup (1, ci, vi, vn), usage, 0);
%! expect_error (@() GraphStateSetup (ones (1, 6), ci, vi, vn, cn), usage, 1);
%! x = ones (1, 6);
%! expect_error (@() GraphStateSetup (x, ci, vi, 1, cn), "vn_state must be a structure array, not double", 0);
%! expect_error (@() GraphStateSetup (ones (1, 5), ci, vi, vn, cn), "vn_state must have 5 elements, one per bit (it has 6)", 0);
%! expect_error (@() GraphStateSetup (x, ci(1:2, :), vi, vn, cn), "cn_state must have 2 elements, one per check (it has 3)", 0);
%! expect_error (@() GraphStateSetup (x, ci, vi, rmfield (vn, "q_sign"), cn), "vn_state must have at least 6 fields (it has 5)", 0);
%! bad = vn; bad(3).checks = [0 1];
%! expect_error (@() GraphStateSetup (x, ci, vi, bad, cn), "vn_state(3).checks (field 3, check indices) must be a real int32 array, not double", 0);
%! bad = vn; bad(3).q_magnitude = single (0);
%! expect_error (@() GraphStateSetup (x, ci, vi, bad, cn), "vn_state(3).q_magnitude (field 5, q magnitudes) holds 1 values, fewer than the degree 2", 0);
%! bad = cn; bad(2).degree = int32 (-1);
%! expect_error (@() GraphStateSetup (x, ci, vi, vn, bad), "cn_state(2).degree (field 1, degree) is -1; a degree must not be negative", 0);
%! bad = cn; bad(2).degree = [];
%! expect_error (@() GraphStateSetup (x, ci, vi, vn, bad), "cn_state(2).degree (field 1, degree) must be a real int32 array, not double", 0);
%! expect_error (@() GraphStateSetup (x, [0 1 2; 2 3 6; 0 4 5], vi, vn, cn), "check_index(2,3) is not a bit index in 0..5", 0);
%! expect_error (@() GraphStateSetup (x, [0 1 2; 2 3 NaN; 0 4 5], vi, vn, cn), "check_index(2,3) is not a bit index in 0..5", 0);
%! expect_error (@() GraphStateSetup (x, ci, [0 2; 0 -1; 0 3; 1 -1; 1 2; 2 -1], vn, cn), "var_index(3,2) is not a check index in 0..2", 0);
%! expect_error (@() GraphStateSetup (x, ci(:, 1:2), vi, vn, cn), "check_index has 2 columns, fewer than the degree 3 of cn_state(1)", 0);
%! expect_error (@() GraphStateSetup (x, ci, vi(1:5, :), vn, cn), "var_index has 5 rows, fewer than the 6 elements of vn_state", 0);
%! expect_error (@() GraphStateSetup ([1 NaN 1 1 1 1], ci, vi, vn, cn), "input must not contain NaN", 0);
%! ## Cells beyond the degree are not read, and fractional indices truncate.
%! GraphStateSetup (x, [0.9 1 2 NaN; 2 3.5 4 7; 0 4 5 -3], [vi, NaN(6, 1)], vn, cn);
%! assert (cn(2).bits, int32 ([2 3 4]));

%!test
%! usage = "Usage: [output, bits] = GraphStateStep(input, vn_state, cn_state, m)";
%! x = ones (1, 6);
%! GraphStateSetup (x, ci, vi, vn, cn);
%! expect_error (@() GraphStateStep (x, vn, cn), usage);
%! expect_error (@() GraphStateStep (x, vn, cn, 3), usage, 3);
%! expect_error (@() GraphStateStep (x, vn, cn, 4), "cn_state has 3 elements, fewer than the 4 checks to process");
%! expect_error (@() GraphStateStep ([x 1], vn, cn, 3), "vn_state has 6 elements, fewer than the 7 bits to process");
%! expect_error (@() GraphStateStep (x, vn, cn, -1), "m must not be negative");
%! expect_error (@() GraphStateStep (x, vn, cn, NaN), "m must be a finite number");
%! expect_error (@() GraphStateStep (x, vn, {cn}, 3), "cn_state must be a structure array, not cell");
%! bad = vn; bad(2).q_sign = single (0);
%! expect_error (@() GraphStateStep (x, bad, cn, 3), "vn_state(2).q_sign (field 6, q sign bits) must be a real int32 array, not single");
%! bad = cn; bad(2).r = complex (single ([1 2 3]));
%! expect_error (@() GraphStateStep (x, vn, bad, 3), "cn_state(2).r (field 3, r messages) must be a real single array, not complex single");
%! bad = vn; bad(3).checks = int32 ([0 3]);
%! expect_error (@() GraphStateStep (x, bad, cn, 3), "vn_state(3): edge 2 leads to check index 3, outside 0..2");
%! bad = cn; bad(2).sockets = int32 ([1 0 5]);
%! expect_error (@() GraphStateStep (x, vn, bad, 3), "cn_state(2): edge 3 has socket 5, but bit index 4 has 2 edges");
%! ## The channel field is not read by a step, so its class does not matter there.
%! other = vn; [other.channel] = deal ([]);
%! [a, b] = GraphStateStep (x, other, cn, 3);
%! assert (size (a), [1 6]);
