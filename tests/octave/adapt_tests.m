## Rate adaptation through the host: Puncture, Depuncture, BitCountAdapt and
## BitCountRestore.

## Expected Depuncture(Puncture(x)) of the data and tail columns: each position summed
## as often as it was sent, 0 where it was not.
%!function z = sent_sums (x, pun, tail)
%!  [e, N] = size (x);
%!  T = columns (tail);
%!  P = columns (pun);
%!  counts = repmat (fix (pun), 1, ceil ((N - T) / P));
%!  counts = [counts(:, 1:N - T), fix(tail)];
%!  z = x .* counts;
%!endfunction

## Puncture: worked examples.
%!test
%! x = [1 3 5; 2 4 6];
%! assert (Puncture (x, [1 1]', []), 1:6);                   # all ones, no tail
%! assert (Depuncture (1:6, [1 1]', []), x);
%! w = golden ("puncture");                                   # a 2 repeats, a 0 removes
%! assert (Puncture (reshape (w.data, 2, []), reshape (w.pattern, 2, []), []), w.punctured);
%! assert (Depuncture (w.received, reshape (w.pattern, 2, []), []), reshape (w.restored, 2, []));
%! assert (Puncture ([1 3 5; 2 4 6], [1.9 0.5; 1 1], []), [1 2 4 5 6]);  # counts truncate
%! y = Puncture (reshape (1:10, 2, 5), [1 1; 1 0], []);    # D = 5, P = 2: L = 2*3 + 2
%! assert (y, [1 2 3 5 6 7 9 10]);
%! assert (Depuncture (y, [1 1; 1 0], []), [1 3 5 7 9; 2 0 6 0 10]);
%! assert (size (Puncture (zeros (2, 0), [1 1]', [])), [1 0]);
%! assert (Puncture (int8 ([1 3; 2 4]), logical ([1; 1]), single (zeros (2, 0))), [1 2 3 4]);
%! assert (Puncture ([1 3; 2 4], [1; 1], [], 99), [1 2 3 4]);

## Depuncture rebuilds the fewest leftover columns: a trailing all-zero pattern column
## adds columns.
%!test
%! y = Puncture ([1 3 5; 2 4 6], [1 0; 1 0], []);
%! assert (y, [1 2 5 6]);
%! assert (Depuncture (y, [1 0; 1 0], []), [1 0 5 0; 2 0 6 0]);
%! assert (Depuncture ([1 2 3], [1 1; 1 0], zeros (5, 0)), [1 3; 2 0]);

## Tail patterns: column by column, except with four rows (rows 0-1 of every tail column
## first, then rows 2-3); an empty tail passes whatever its row count.
%!test
%! x = reshape (1:12, 3, 4);
%! y = Puncture (x, [1; 1; 0], [1 0; 0 2; 1 1]);
%! assert (y, [1 2 4 5 7 9 11 11 12]);
%! assert (Depuncture (y, [1; 1; 0], [1 0; 0 2; 1 1]), [1 4 7 0; 2 5 0 22; 0 0 9 12]);
%! x4 = 10 * repmat (0:2, 4, 1) + repmat ((0:3)', 1, 3);   # value = 10*column + row
%! y = Puncture (x4, ones (4, 1), ones (4, 2));
%! assert (y, [0 1 2 3 10 11 20 21 12 13 22 23]);
%! assert (Depuncture (y, ones (4, 1), ones (4, 2)), x4);
%! assert (Puncture (reshape (0:9, 5, 2), zeros (5, 1) + [1; 0; 0; 0; 0], ones (5, 1)), [0 5 6 7 8 9]);
%! assert (Puncture ([1 2 3], [1 1], zeros (7, 0)), [1 2 3]);

## Round trips over random patterns, with tails, for one to five rows.
%!test
%! rand ("seed", 11); randn ("seed", 11);
%! for trial = 1:150
%!   e = 1 + mod (trial, 5);
%!   P = randi (4);
%!   T = randi (4) - 1;
%!   N = T + randi (10) - 1;
%!   pun = randi ([0 3], e, P);
%!   pun(randi (e * P)) = 1 + randi (2);
%!   tail = randi ([0 3], e, T);
%!   x = randn (e, N);
%!   z = Depuncture (Puncture (x, pun, tail), pun, tail);
%!   want = sent_sums (x, pun, tail);
%!   D = N - T;
%!   Dz = columns (z) - T;
%!   assert (z(:, end - T + 1:end), want(:, D + 1:end), 1e-12);
%!   m = min (D, Dz);
%!   assert (z(:, 1:m), want(:, 1:m), 1e-12);
%!   assert (all (all (want(:, m + 1:D) == 0)));
%!   assert (all (all (z(:, m + 1:Dz) == 0)));
%! endfor

%!test
%! usage = "Usage: [output] = Puncture(input, pun_pattern, tail_pattern )";
%! expect_error (@() Puncture ([1 2], [1 1]), usage);
%! expect_error (@() Puncture ([1 2], [1 1], []), usage, 2);
%! expect_error (@() Puncture ([1 2; 3 4], [1 1], []), "Number rows in pun_pattern must match the number in input");
%! expect_error (@() Puncture ([1 2; 3 4], [1; 1], [1 1]), "Number rows in tail_pattern must match the number in input");
%! expect_error (@() Puncture ([1 2], zeros (1, 0), []), "pun_pattern must not be empty");
%! expect_error (@() Puncture ([], [], []), "pun_pattern must not be empty");
%! expect_error (@() Puncture ([1 2], [1 1], [1 1 1]), "tail_pattern must not have more columns than input");
%! expect_error (@() Puncture ([1 2], [0 0], [1 1]), "the counts of pun_pattern must not sum to 0");
%! expect_error (@() Puncture ([1 2], [1 NaN], []), "pun_pattern must hold finite counts");
%! expect_error (@() Puncture ([1 2], [1 1], [1 Inf]), "tail_pattern must hold finite counts");
%! expect_error (@() Puncture ([1 2], [1 1e10], []), "pun_pattern holds a count outside the int range");
%! expect_memory_refusal (@() Puncture (1:1000, [2e9 2e9], []), "the output");

## Negative counts: the count mismatch is printed and the call fails, nothing written.
%!test
%! out = evalc ("try; Puncture ([1 2 3 4 5], [1 -2], []); catch err; disp (err.message); end_try_catch");
%! assert (out, "Calculated punctured bits = -1 but actual = 3Puncture: Error!\n");
%! out = evalc ("try; Puncture ([1 2; 3 4], [-1; 3], [1; -1]); catch err; disp (err.message); end_try_catch");
%! assert (out, "Calculated punctured bits = 2 but actual = 4Puncture: Error!\n");
%! assert (Puncture ([1 2], [1 1 -5], []), [1 2]);   # an unused negative column is harmless

%!test
%! usage = "Usage: [output] = Puncture(input, pun_pattern, tail_pattern )";
%! expect_error (@() Depuncture ([1 2], [1 1]), usage);
%! expect_error (@() Depuncture ([1 2], [1 1], []), usage, 2);
%! expect_error (@() Depuncture ((1:4)', [1; 1], []), "Input must be a row vector");
%! expect_error (@() Depuncture ([], [1; 1], []), "Input must be a row vector");
%! expect_error (@() Depuncture (1:4, [1; 1], [1 1]), "Number rows in tail_pattern must match the number in pun_pattern");
%! expect_error (@() Depuncture (1:5, [1; 1], []), "Incomplete column of puncturing pattern");
%! expect_error (@() Depuncture (1:6, [1 1; 1 0], [1; 1]), "Incomplete column of puncturing pattern");
%! expect_error (@() Depuncture (1:4, zeros (2, 0), []), "pun_pattern must not be empty");
%! expect_error (@() Depuncture (1:4, [1 -1; 1 1], []), "pun_pattern must not hold negative counts");
%! expect_error (@() Depuncture (1:4, [1; 1], [1; -1]), "tail_pattern must not hold negative counts");
%! expect_error (@() Depuncture (1:4, [0; 0], []), "the counts of pun_pattern must not sum to 0");
%! expect_error (@() Depuncture (1:4, [1; 1], [2 1; 1 1]), "input holds fewer values than tail_pattern takes");
%! expect_error (@() Depuncture (1:4, [1; NaN], []), "pun_pattern must hold finite counts");
%! expect_memory_refusal (@() Depuncture (1:4e5, [1 zeros(1, 1e6)], []), "the output");
%! assert (Depuncture (zeros (1, 0), [1; 1], []), zeros (2, 0));
%! assert (Depuncture ([4 5], 1, 2), 9);              # all tail
%! assert (Depuncture (single ([1 2]), int8 ([1; 1]), []), [1; 2]);
%! assert (Depuncture ([1 2] + 1i, [1; 1], []), [1; 2]);

## BitCountAdapt and BitCountRestore: the worked pattern 1 keep, -3 remove, 3 keep,
## -1 remove, 5 keep.
%!test
%! assert (BitCountAdapt ([1.5 2.5 3.5 4.5 5.5], 5, 5, 10, 4), [1.5 3.5 5.5]);
%! assert (BitCountRestore ([1.5 3.5 5.5], 5, 5, 10, 4), [1.5 0 3.5 0 5.5]);
%! assert (BitCountAdapt ([1.5 2.5 3.5 4.5 5.5], 5.9, 5.9, 10, 4.99), [1.5 3.5 5.5]);
%! assert (BitCountRestore ([1.5 3.5 5.5], int32 (5), single (5), 10, 4), [1.5 0 3.5 0 5.5]);
%! assert (size (BitCountAdapt ([], 0, 5, 10, 4)), [1 0]);
%! assert (size (BitCountAdapt (zeros (1, 0), 0, 5, 10, 4)), [1 0]);
%! assert (size (BitCountRestore ([], 0, 5, 10, 4)), [1 0]);
%! assert (BitCountAdapt (1:4, 4, 1, 3, 0), 1:4);              # e_minus = 0 keeps all
%! assert (BitCountAdapt (1:5, 5, 3, 0, 1), [1 2]);            # e_plus = 0 removes the rest
%! assert (BitCountRestore ([1 2], 5, 3, -4, 1), [1 2 0 0 0]);
%! assert (BitCountAdapt ([1 2; 3 4], 2, 5, 10, 4), 1);        # a row of 2 columns
%! assert (BitCountAdapt (1:3, 3, 2^31 - 1, 0, -1), 1:3);     # no 32-bit wrap
%! assert (BitCountAdapt ((1:5) + 1i, 5, 5, 10, 4), [1 3 5]);

## 3GPP parameters e_ini = X_i, e_plus = 2*X_i, e_minus = 2*dN remove exactly dN bits;
## the round trip gives the kept values back and 0 elsewhere.
%!test
%! rand ("seed", 5);
%! for trial = 1:100
%!   X = randi (500);
%!   dN = randi ([0 X]);
%!   x = randn (1, X);
%!   y = BitCountAdapt (x, X, X, 2 * X, 2 * dN);
%!   assert (numel (y), X - dN);
%!   z = BitCountRestore (y, X, X, 2 * X, 2 * dN);
%!   kept = z != 0;
%!   assert (sum (kept), X - dN);
%!   assert (z(kept), x(kept));
%!   assert (z(kept), y);
%! endfor

%!test
%! usage = "Usage: y = BitCountAdapt( x, X_i, e_ini, e_plus, e_minus )";
%! expect_error (@() BitCountAdapt (1:5, 5, 5, 10), usage);
%! expect_error (@() BitCountAdapt (1:5, 5, 5, 10, 4), usage, 2);
%! expect_error (@() BitCountAdapt (1:5, 4, 5, 10, 4), "Input length is not consistent with X_i");
%! expect_error (@() BitCountAdapt (1:5, -5, 5, 10, 4), "Input length is not consistent with X_i");
%! expect_error (@() BitCountAdapt ((1:5)', 5, 5, 10, 4), "Input length is not consistent with X_i");
%! expect_error (@() BitCountAdapt (zeros (0, 5), 5, 5, 10, 4), "x has 5 columns but no rows");
%! expect_error (@() BitCountAdapt (1:5, 5, NaN, 10, 4), "e_ini must be a finite number");
%! expect_error (@() BitCountAdapt (1:5, 5, 5, [], 4), "e_plus must not be empty");
%! expect_error (@() BitCountAdapt (1:5, 5, 5, 10, 1e10), "e_minus is out of range");
%! usage = "Usage: y = BitCountRestore( x, X_i, e_ini, e_plus, e_minus )";
%! expect_error (@() BitCountRestore (1:3, 5, 5, 10), usage);
%! expect_error (@() BitCountRestore (1:3, 5, 5, 10, 4), usage, 2);
%! expect_error (@() BitCountRestore (1:4, 5, 5, 10, 4), "Input length is invalid");
%! expect_error (@() BitCountRestore (1:3, -1, 5, 10, 4), "X_i must not be negative");
%! expect_error (@() BitCountRestore ([], -1, 5, 10, 4), "X_i must not be negative");
%! expect_error (@() BitCountRestore (1:3, Inf, 5, 10, 4), "X_i must be a finite number");
