## Double-binary circular codes through the host: CircularPairCoder and
## CircularPairPosterior with the DVB-RCS parity generators, messages, argument
## conventions, circularity of random blocks and a double-binary turbo decoder.

%!shared p
%! p = [1 0 1 1; 1 0 0 1];

## Reference encoder written from the code's definition: the state reached from s and
## the 2 x N parity bits of the pairs (columns of a 2 x N matrix of bits).
%!function [s, z] = encode_from (pairs, s, p)
%!  g = p * [8; 4; 2; 1];
%!  z = zeros (2, columns (pairs));
%!  for t = 1:columns (pairs)
%!    a = pairs(1, t); b = pairs(2, t);
%!    s2 = bitand (bitshift (s, -2), 1); s1 = bitand (bitshift (s, -1), 1); s0 = bitand (s, 1);
%!    f = xor (xor (a, b), xor (s0, s2));
%!    w = 8 * f + s;
%!    for j = 1:2
%!      z(j, t) = mod (sum (bitget (bitand (w, g(j)), 1:4)), 2);
%!    endfor
%!    s = 4 * f + 2 * xor (s2, b) + xor (s1, b);
%!  endfor
%!endfunction

## Symbol values of a 2 x N matrix of bit values: u = 1 carries the second bit (B, z1),
## u = 2 the first (A, z0), u = 3 both.
%!function v = symbol_values (L)
%!  v = [L(2, :); L(1, :); L(1, :) + L(2, :)];
%!endfunction

## CircularPairCoder: worked blocks
%!test
%! w = golden ("duobinary_blocks");
%! for k = 1:numel (w.pairs)
%!   [z, sc] = CircularPairCoder (w.pairs{k}, p);
%!   assert (z, reshape (w.parity{k}, 2, []));
%!   assert (sc, w.state{k});
%!   assert (CircularPairCoder (w.pairs{k}, p), z);
%! endfor
%! assert (isa (z, "double") && isreal (z) && isa (sc, "double") && isequal (size (sc), [1 1]));

%!test
%! for n = [1 2 6 8 13 100]
%!   [z, sc] = CircularPairCoder (zeros (1, 2 * n), p);
%!   assert (z, zeros (2, n));
%!   assert (sc, 0);
%! endfor

## Storage order is what counts; only the lowest bit of each truncated value is used.
%!test
%! x = [1 0 0 1 1 1 0 0 1 0];
%! [z, sc] = CircularPairCoder (x, p);
%! [z2, sc2] = CircularPairCoder (reshape (x, 2, 5), p);
%! [z3, sc3] = CircularPairCoder (x', p);
%! assert (isequal (z, z2, z3) && isequal (sc, sc2, sc3));
%! [z4, sc4] = CircularPairCoder ([3 2 -2 -1 1.5 7 0.9 -0.2 5 4.9], p);
%! assert (isequal (z, z4) && sc == sc4);
%! [z5, sc5] = CircularPairCoder (int8 (x), logical (p));
%! assert (isequal (z, z5) && sc == sc5);
%! [z6, sc6] = CircularPairCoder (single (x), int32 (p + 2 * [1 1 0 0; 0 1 1 0]));
%! assert (isequal (z, z6) && sc == sc6);
%! [z7, ~] = CircularPairCoder (x, 3 * p - 0.5);   # 2.5 truncates to 2: no taps left
%! assert (z7, zeros (2, 5));

## Random blocks of every size class end in their circulation state, and their parity
## bits are those of the reference encoder.
%!test
%! rand ("seed", 17);
%! sizes = [1:20, 99, 100, 212, 752, 999, 1000, 2 + 7 * floor(rand (1, 12) * 140)];
%! for n = sizes(mod (sizes, 7) != 0)
%!   pairs = double (rand (2, n) > 0.5);
%!   [z, sc] = CircularPairCoder (pairs(:)', p);
%!   [s, zz] = encode_from (pairs, sc, p);
%!   assert (s, sc, sprintf ("block of %d pairs is not circular", n));
%!   assert (z, zz);
%!   ## A rotated block is the same circle read from another pair.
%!   r = 1 + floor (rand () * n);
%!   zr = CircularPairCoder (pairs(:, [r:n, 1:r-1]), p);
%!   assert (zr, z(:, [r:n, 1:r-1]));
%! endfor
%! zg = CircularPairCoder (double (rand (2, 40) > 0.5), [1 1 1 1; 0 1 1 0]);
%! assert (size (zg), [2 40]);

%!test
%! usage = " Usage: [outz,Sc]= CircularPairCoder(x, poly);";
%! expect_error (@() CircularPairCoder ([1 1]), usage);
%! expect_error (@() CircularPairCoder (), usage, 0);
%! expect_error (@() CircularPairCoder ([1 1], p, 1), usage);
%! expect_error (@() CircularPairCoder ([1 1], p), usage, 3);
%! poly = " Parity generator has two polynomials. Each has 4 elements";
%! expect_error (@() CircularPairCoder ([1 1], p'), poly);
%! expect_error (@() CircularPairCoder ([1 1], p(:, 1:3)), poly);
%! expect_error (@() CircularPairCoder ([1 1], [p; p]), poly);
%! expect_error (@() CircularPairCoder ([1 1 1], p'), poly);   # poly is tested first
%! expect_error (@() CircularPairCoder ([1 1 1], p), " Input must have even length. ");
%! expect_error (@() CircularPairCoder (ones (3, 3), p), " Input must have even length. ");
%! seven = "the number of pairs in x is a multiple of 7 (or 0): such a block has no circulation state";
%! expect_error (@() CircularPairCoder ([], p), seven);
%! expect_error (@() CircularPairCoder (zeros (2, 7), p), seven);
%! expect_error (@() CircularPairCoder (ones (1, 28), p), seven);
%! expect_error (@() CircularPairCoder ([1 NaN], p), "x must not contain NaN or Inf");
%! expect_error (@() CircularPairCoder ([1 -Inf], p), "x must not contain NaN or Inf");
%! expect_error (@() CircularPairCoder ([1 1], [p(1, :); 1 NaN 0 1]), "poly must not contain NaN or Inf");
%! ## the checks of the usage, poly and length come before those of the values
%! expect_error (@() CircularPairCoder ([1 1 1], [p(1, :); 1 NaN 0 1]), " Input must have even length. ");
%! expect_error (@() CircularPairCoder ([NaN 1 1 1 1 1 1 1 1 1 1 1 1 1], p), seven);
%! expect_error (@() CircularPairCoder ([1 1], num2cell (p)), "poly must be a numeric or logical array, not cell");
%! expect_error (@() CircularPairCoder ("ab", p), "x must be a numeric or logical array, not char");

## CircularPairPosterior: worked decodes with max-log
%!test
%! w = golden ("duobinary_max_log");
%! for k = 1:numel (w.inx)
%!   [inx, inz] = deal (reshape (w.inx{k}, 3, []), reshape (w.inz{k}, 3, []));
%!   [ox, oz, sb] = CircularPairPosterior (inx, inz, p, 1);
%!   assert (ox, reshape (w.outx{k}, 3, []));
%!   assert (oz, reshape (w.outz{k}, 3, []));
%!   assert (sb, reshape (w.soft{k}, 2, []));
%!   assert (CircularPairPosterior (inx, inz, p, 1), ox);
%! endfor
%! assert (isa (ox, "double") && isreal (ox));

%!test
%! for dec_type = 0:4
%!   [ox, oz, sb] = CircularPairPosterior (zeros (3, 9), zeros (3, 9), p, dec_type);
%!   assert (ox, zeros (3, 9));
%!   assert (oz, zeros (3, 9));
%!   assert (sb, zeros (2, 9));
%! endfor
%! [ox, oz, sb] = CircularPairPosterior (zeros (3, 0), zeros (3, 0), p, 4);
%! assert (size (ox), [3 0]);
%! assert (size (oz), [3 0]);
%! assert (size (sb), [2 0]);

## Noiseless codewords, bit values of magnitude 2: the soft bits give back the data.
%!test
%! rand ("seed", 5);
%! for dec_type = [1 4]
%!   for n = [1:6, 8:12]
%!     for rep = 1:4
%!       x = double (rand (1, 2 * n) > 0.5);
%!       z = CircularPairCoder (x, p);
%!       inx = symbol_values (2 * (2 * reshape (x, 2, n) - 1));
%!       inz = symbol_values (2 * (2 * z - 1));
%!       [~, ~, sb] = CircularPairPosterior (inx, inz, p, dec_type);
%!       assert (sb(:)' > 0, logical (x));
%!     endfor
%!   endfor
%! endfor

## soft_bits follow from the symbol values: row 1 is A (symbols 2, 3 against 0, 1),
## row 2 is B (symbols 1, 3 against 0, 2); max-log makes these plain maxima.
%!test
%! randn ("seed", 2);
%! inx = 2 * randn (3, 30);
%! inz = 2 * randn (3, 30);
%! [ox, oz, sb] = CircularPairPosterior (inx, inz, p, 1);
%! P = [zeros(1, 30); ox];
%! assert (sb(1, :), max (P(3:4, :)) - max (P(1:2, :)), 1e-4);
%! assert (sb(2, :), max (P([2 4], :)) - max (P([1 3], :)), 1e-4);
%! [ox4, oz4, sb4] = CircularPairPosterior (inx, inz, p, 4);
%! P = [zeros(1, 30); ox4];
%! lse = @(a, b) max (a, b) + log1p (exp (-abs (a - b)));
%! assert (sb4(1, :), lse (P(3, :), P(4, :)) - lse (P(1, :), P(2, :)), 1e-4);
%! assert (sb4(2, :), lse (P(2, :), P(4, :)) - lse (P(1, :), P(3, :)), 1e-4);

## Argument conventions of dec_type and the values: other numeric classes, truncation,
## first element only.
%!test
%! randn ("seed", 4);
%! inx = randn (3, 12); inz = randn (3, 12);
%! [ox, oz, sb] = CircularPairPosterior (inx, inz, p, 1);
%! [ox2, oz2, sb2] = CircularPairPosterior (inx, inz, p, 1.9);
%! assert (isequal (ox, ox2) && isequal (oz, oz2) && isequal (sb, sb2));
%! assert (CircularPairPosterior (inx, inz, int8 (p), int32 (1)), ox);
%! assert (CircularPairPosterior (inx, inz, logical (p), [1 4]), ox);
%! assert (CircularPairPosterior (single (inx), single (inz), p + 2, single (1)), ...
%!         CircularPairPosterior (double (single (inx)), double (single (inz)), p, 1));
%! assert (CircularPairPosterior (inx, inz, p, 4.5), CircularPairPosterior (inx, inz, p, 4));
%! assert (! isequal (CircularPairPosterior (inx, inz, p, 4), ox));

%!test
%! usage = " [outx, outz, soft_bits]= CircularPairPosterior( inx, inz, poly, dec_type)";
%! z3 = zeros (3, 5);
%! expect_error (@() CircularPairPosterior (z3, z3, p), usage);
%! expect_error (@() CircularPairPosterior (), usage, 0);
%! expect_error (@() CircularPairPosterior (z3, z3, p, 1, 1), usage);
%! expect_error (@() CircularPairPosterior (z3, z3, p, 1), usage, 4);
%! form = " The input llrs should have 3*N form";
%! expect_error (@() CircularPairPosterior (zeros (2, 5), z3, p, 1), form);
%! expect_error (@() CircularPairPosterior (z3, zeros (4, 5), p, 1), form);
%! expect_error (@() CircularPairPosterior (zeros (3, 5)', zeros (3, 6), p, 1), form);
%! expect_error (@() CircularPairPosterior (zeros (2, 5), z3, p', 1), form);  # before poly
%! same = " The systematic llrs and parity llrs should have the same length";
%! expect_error (@() CircularPairPosterior (z3, zeros (3, 6), p, 1), same);
%! expect_error (@() CircularPairPosterior (z3, zeros (3, 6), p', 1), same);
%! poly = " Parity generator has two polynomials. Each has 4 elements";
%! expect_error (@() CircularPairPosterior (z3, z3, p', 1), poly);
%! expect_error (@() CircularPairPosterior (z3, z3, [], 1), poly);
%! expect_error (@() CircularPairPosterior (z3, z3, [p(1, :); NaN 1 0 1], 1), "poly must not contain NaN or Inf");
%! expect_error (@() CircularPairPosterior (z3, z3, p, 5), "dec_type must be 0 through 4");
%! expect_error (@() CircularPairPosterior (z3, z3, p, -1), "dec_type must be 0 through 4");
%! expect_error (@() CircularPairPosterior (zeros (2, 5), z3, p, 9), form);
%! expect_error (@() CircularPairPosterior (z3, zeros (3, 6), p, 9), same);
%! expect_error (@() CircularPairPosterior (z3, z3, p', 9), poly);
%! expect_error (@() CircularPairPosterior (z3, z3, p, NaN), "dec_type must be a finite number");
%! expect_error (@() CircularPairPosterior (z3, z3, p, 2^31), "dec_type is out of range");
%! expect_error (@() CircularPairPosterior (z3, z3, p, []), "dec_type must not be empty");
%! expect_error (@() CircularPairPosterior ({z3}, z3, p, 1), "inx must be a numeric or logical array, not cell");

## A double-binary turbo decoder built from the modules: two constituent decoders of
## the DVB-RCS code exchanging extrinsic symbol values through a fixed random
## permutation of pairs, on a BPSK channel with noise at Eb/N0 = 2 dB (rate 1/3).
%!test
%! rand ("seed", 11); randn ("seed", 11);
%! N = 752;
%! perm = randperm (N);       # pair k of the second encoder's block is pair perm(k)
%! R = 1 / 3;
%! sigma = sqrt (1 / (2 * R * 10 ^ (2 / 10)));
%! channel = @(bits) 2 * ((2 * bits - 1) + sigma * randn (size (bits))) / sigma ^ 2;
%! errors = zeros (1, 6); uncoded = 0; frames = 4;
%! for frame = 1:frames
%!   pairs = double (rand (2, N) > 0.5);
%!   z1 = CircularPairCoder (pairs, p);
%!   z2 = CircularPairCoder (pairs(:, perm), p);
%!   Lx = channel (pairs);
%!   uncoded += sum ((Lx(:) > 0) != pairs(:));
%!   sx = symbol_values (Lx);
%!   sz1 = symbol_values (channel (z1));
%!   sz2 = symbol_values (channel (z2));
%!   ext = zeros (3, N);
%!   for it = 1:6
%!     in1 = sx + ext;
%!     o1 = CircularPairPosterior (in1, sz1, p, 4);
%!     e1 = o1 - in1;
%!     in2 = sx(:, perm) + e1(:, perm);
%!     [o2, ~, soft2] = CircularPairPosterior (in2, sz2, p, 4);
%!     ext(:, perm) = o2 - in2;
%!     bits = zeros (2, N);
%!     bits(:, perm) = soft2 > 0;
%!     errors(it) += sum (bits(:) != pairs(:));
%!   endfor
%! endfor
%! total = 2 * N * frames;
%! assert (uncoded / total > 0.05);           # the channel alone is poor
%! assert (errors(1) > errors(end));          # iterating helps
%! assert (errors(end) / total < 1e-3);

## CircularTurboDecode: every row equals the per-call loop of CircularPairPosterior,
## Interleave and Deinterleave (extrinsic values in double precision), for every
## operator and thread count.
%!function Y = ref_interleave (X, alpha, swap)
%! Y = zeros (size (X));
%! for k = 1:3
%!   Y(k, :) = Interleave (X(k, :), alpha);
%! endfor
%! Y([1 2], swap) = Y([2 1], swap);
%!endfunction
%!function X = ref_deinterleave (Y, alpha, swap)
%! Y([1 2], swap) = Y([2 1], swap);
%! X = zeros (size (Y));
%! for k = 1:3
%!   X(k, :) = Deinterleave (Y(k, :), alpha);
%! endfor
%!endfunction
%!function app = ref_decode (Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type)
%! Lx2 = ref_interleave (Lx, alpha, swap);
%! apriori = zeros (size (Lx));
%! for it = 1:iterations
%!   in1 = Lx + apriori;
%!   out1 = CircularPairPosterior (in1, Lz1, poly, dec_type);
%!   in2 = Lx2 + ref_interleave (out1 - in1, alpha, swap);
%!   out2 = CircularPairPosterior (in2, Lz2, poly, dec_type);
%!   apriori = ref_deinterleave (out2 - in2, alpha, swap);
%! endfor
%! app = ref_deinterleave (out2, alpha, swap);
%!endfunction

%!test
%! randn ("seed", 5); rand ("seed", 5);
%! poly = [1 0 1 1; 1 0 0 1];
%! N = 48; F = 5;
%! alpha = randperm (N) - 1;  swap = rand (1, N) > 0.5;
%! Lx = 1.5 * randn (F, 3 * N);  Lz1 = 1.5 * randn (F, 3 * N);  Lz2 = 1.5 * randn (F, 3 * N);
%! Lx(2, :) = 0;  Lz2(3, 1:6) = 0;
%! for dec_type = 0:4
%!   its = 1 + mod (dec_type, 3);
%!   app = CircularTurboDecode (Lx, Lz1, Lz2, poly, alpha, swap, its, dec_type, 1);
%!   for f = 1:F
%!     ref = ref_decode (reshape (Lx(f, :), 3, N), reshape (Lz1(f, :), 3, N), ...
%!                       reshape (Lz2(f, :), 3, N), poly, alpha, swap, its, dec_type);
%!     assert (app(f, :), ref(:)');
%!   endfor
%!   assert (CircularTurboDecode (Lx, Lz1, Lz2, poly, alpha, swap, its, dec_type, 3), app);
%! endfor
%! assert (size (CircularTurboDecode (zeros (0, 9), zeros (0, 9), zeros (0, 9), poly, [2 0 1], [1 0 0], 2, 1)), [0 9]);

%!test
%! poly = [1 0 1 1; 1 0 0 1];  x = ones (2, 9);  a = [2 0 1];  s = [1 0 0];
%! usage = "Usage: app = CircularTurboDecode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type, threads)";
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, s, 2), usage);
%! expect_error (@() CircularTurboDecode (ones (2, 8), ones (2, 8), ones (2, 8), poly, a, s, 2, 1), "Lx must have 3*N columns: three symbol values per pair");
%! expect_error (@() CircularTurboDecode (x, ones (1, 9), x, poly, a, s, 2, 1), "Lx, Lz1 and Lz2 must have the same size, one frame per row");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, [0 1], s, 2, 1), "alpha must be a 1 x N row, N = columns(Lx)/3");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, [1 0], 2, 1), "swap must be a 1 x N row, N = columns(Lx)/3");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, [0 3 1], s, 2, 1), "alpha(2) = 3 is not a 0-based index from 0 to 2");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, s, 0, 1), "iterations must be 1 to 1000");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, s, 2, 5), "dec_type must be 0 through 4");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, s, 2, 1, -1), "threads must be 0 (all) to 1024");
%! expect_error (@() CircularTurboDecode ([x(1, :); NaN(1, 9)], x, x, poly, a, s, 2, 1), "Lx must not contain NaN");
%! expect_error (@() CircularTurboDecode (x, x, x, poly, a, [1 NaN 0], 2, 1), "swap must not contain NaN");
