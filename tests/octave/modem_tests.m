## Modulation and soft demapping through the host: Modulate, PlaneMetrics, ToneMetrics,
## RelayFrequencyMetrics, SymbolBitMetrics and RelayLabelMetrics: worked values,
## messages, argument conventions and short noisy links.

## Modulate
%!shared s4
%! s4 = [10; 20+1i; 30-2i; 40];
%!assert (Modulate ([0 1 1 0], s4), [20+1i, 30-2i])
%!assert (Modulate ([0 1 1 0], s4.'), [20+1i, 30-2i])      # a row is M one-dimensional points
%!assert (Modulate ([1 0 1 1 1], s4), [30-2i, 40, 30-2i])  # the last group is padded with 0
%!assert (size (Modulate ([], s4)), [1 0])
%!assert (size (Modulate (zeros (1, 0), [1 2; 3 4; 5 6])), [3 0])
%!assert (Modulate ([1 1 0 1], [0 1 2 3; 0 -1 -2 -3]), [3 1; -3 -1])   # 2-D points: one per column
%!assert (Modulate ([1 1 1 0 0 1], 0:5), [3 2 1])          # M = 6: only points 0..3
%!assert (Modulate ([0.9 1.7 -0.5 1], s4), Modulate ([0 1 0 1], s4))
%!assert (Modulate (logical ([0 1 1 0]), single (s4)), [20+1i, 30-2i])
%!assert (Modulate (int8 ([1 0 0 1]), int32 ([1 2 3 4])), [3 2])
%!assert (Modulate ([1 0; 1 1], [5 6 7 8]), 8)              # K = 2 columns: elements 1 1
%!assert (Modulate ([1 0 1], [5 6], 99), [6 5 6])           # further arguments are ignored
%!test
%! x = Modulate ([0 1 1 0], [1 2 3 4]);
%! assert (isa (x, "double") && isequal (x, [2 3]) && imag (x) == 0);
%! assert (iscomplex (Modulate ([1 0], [1i 2])));

%!test
%! usage = "Usage: [output] = Modulate( input, S_matrix )";
%! expect_error (@() Modulate ([0 1]), usage);
%! expect_error (@() Modulate (), usage, 0);
%! expect_error (@() Modulate ([0 1], 5), "S_matrix must hold at least 2 signal points");
%! expect_error (@() Modulate ([0 1], zeros (0, 0)), "S_matrix must hold at least 2 signal points");
%! expect_error (@() Modulate ([0 2], [1 -1]), "input must hold bits of 0 or 1");
%! expect_error (@() Modulate ([0 -1], [1 -1]), "input must hold bits of 0 or 1");
%! expect_error (@() Modulate ([0 NaN], [1 -1]), "input must hold bits of 0 or 1");
%! expect_error (@() Modulate (zeros (0, 3), [1 -1]), "input has 3 columns but no rows");
%! expect_error (@() Modulate ({1}, [1 -1]), "input must be a numeric or logical array, not cell");

## PlaneMetrics
%!test
%! w = golden ("plane_metrics");
%! assert (PlaneMetrics (w.y, w.points', w.es_no), w.metrics');
%! assert (PlaneMetrics (w.y, w.points, w.es_no), w.metrics');
%!assert (PlaneMetrics ([0.5 1i], [1 -1], 1, [1 1]), PlaneMetrics ([0.5 1i], [1 -1], 1))
%!assert (PlaneMetrics (1i, [1 1i -1], 1, 1i), PlaneMetrics (1i, 1i * [1 1i -1], 1))  # a quarter turn
%!assert (PlaneMetrics (2, [1 3], 1), PlaneMetrics (complex (2, 0), [1 3], 1))
%!assert (size (PlaneMetrics (zeros (1, 0), [1 2 3], 1)), [3 0])
%!assert (PlaneMetrics (0, 1, 0.1), -double (single (0.1)))
%!assert (PlaneMetrics ([0.3 -2], [1 -1 1i], 0), zeros (3, 2))
%!assert (PlaneMetrics (0, 1, -2), 2)
%!assert (PlaneMetrics (0.5, 1, 1), -0.25)                 # a 1 x 1 set is one point
%!assert (PlaneMetrics ([0.5 7], [1 -1], 1, [1 9; 1 9]), PlaneMetrics ([0.5 7], [1 -1], 1))
%!assert (PlaneMetrics (single (0.5), int8 ([1 -1]), single (1)), [-0.25; -2.25])
%!assert (PlaneMetrics (0.5, [1 -1], 1, 1, "ignored"), [-0.25; -2.25])
%!test
%! ## -EsNo |y - a s|^2 for random samples, points and fading
%! y = [0.3+0.1i, -1.2i, 2]; s = [1, 1i, -1, -1i] / sqrt (2); a = [0.5-0.5i, 2, -1i];
%! es = 3.25;
%! expected = -es * abs (y - a .* s.') .^ 2;
%! assert (PlaneMetrics (y, s, es, a), expected, 1e-12);

%!test
%! usage = "Usage: [output] = PlaneMetrics( input, S_matrix, EsNo, [fade_coef] )";
%! expect_error (@() PlaneMetrics (0.5, [1 -1]), usage);
%! expect_error (@() PlaneMetrics (), usage);
%! expect_error (@() PlaneMetrics (0.5, [1 -1; 1 -1], 1), "S_matrix should only have one column or row");
%! expect_error (@() PlaneMetrics ([1 2], [1 -1], 1, [1 1 1]), "Fading process must be same length as received signal");
%! expect_error (@() PlaneMetrics ([1 2], [1 -1], 1, [1; 1]), "Fading process must be same length as received signal");
%! expect_error (@() PlaneMetrics ([1 2], [1 -1; 1 -1], 1, 1), "S_matrix should only have one column or row");
%! expect_error (@() PlaneMetrics ([1 2], [1 -1], []), "EsNo must not be empty");
%! expect_error (@() PlaneMetrics (zeros (0, 2), [1 -1], 1), "input has 2 columns but no rows");

## ToneMetrics
%!assert (ToneMetrics ([1; 0], 1), [2; 0])
%!assert (ToneMetrics ([1; 0], 1, 0), [2; 0])
%!assert (ToneMetrics (1i, 1, 0, 1i), 2)
%!assert (ToneMetrics (1, 0.5, 1), double (single (0.1245 + 0.2177 - 0.108)))
%!assert (ToneMetrics (0, 0.5, 1), double (single (-0.0012)))
%!assert (ToneMetrics (50, 1, 1), double (single (0.9867 * 100 - 2.2053)))
%!assert (ToneMetrics (2, 1, 2), 2)
%!assert (ToneMetrics (2, 1, 2, 0.3 + 4i), 2)               # no channel knowledge: no fading
%!assert (ToneMetrics ([1 2; 3i 4], 1, 3), zeros (2))
%!assert (ToneMetrics ([1 2; 3i 4], 1, -1), zeros (2))
%!assert (ToneMetrics (1, 0.5, 1.9), ToneMetrics (1, 0.5, 1))
%!assert (ToneMetrics ([3; 2], 1, 0, 0.5), [3; 2])          # real inputs: only real parts matter
%!assert (ToneMetrics ([3+1i; 2], 1, 0, 0.5), [3; 2])
%!assert (size (ToneMetrics (zeros (4, 0), 1)), [4 0])
%!assert (ToneMetrics (int8 ([1; 0]), single (1), int32 (0)), [2; 0])
%!test
%! ## amplitude-only knowledge ignores the phase of the fading coefficient
%! y = [0.3+0.4i; -1; 2i];
%! assert (ToneMetrics (y, 2, 1, 2i), ToneMetrics (y, 2, 1, -2));
%! ## single precision: an EsNo of 0.1 gives W = 0.1^2 / 1.1 in single precision
%! assert (ToneMetrics (1, 0.1, 2), double (single (single (0.1)^2 / (single (0.1) + 1))));

%!test
%! usage = "Usage: [output] = ToneMetrics( input, EsNo, [csi_flag], [fade_coef] )";
%! expect_error (@() ToneMetrics ([1; 0]), usage);
%! expect_error (@() ToneMetrics ([1 2; 0 0], 1, 0, [1 1 1]), "Fading process must be same length as received signal");
%! expect_error (@() ToneMetrics ([1; 0], 1, NaN), "csi_flag must be a finite number");

## RelayFrequencyMetrics
%!shared lb0
%! lb0 = double (single (-0.0011272));
%!test
%! ## tone outputs 0: logbesseli0(0) on every tone; a shared tone scores |a1 + a2|^2
%! ## (csi1switch 0) or |a1|^2 + |a2|^2 (otherwise)
%! es = single (1.5); l = single (lb0);
%! off = double ((-2 * es + l) + l);
%! same = double (-4 * es + l);
%! assert (RelayFrequencyMetrics ([0; 0], 1.5, 1, 1, 1, 0, 0, 0), [same, off, off, same]);
%! same = double (-2 * es + l);
%! assert (RelayFrequencyMetrics ([0; 0], 1.5, 1, 1, 1, 0, 0, 1), [same, off, off, same]);
%!assert (RelayFrequencyMetrics ([0.5; 2i], 1.5, 1, 1, -1, 0, 0, 0)([1 4]), [lb0 lb0], 1e-12)
%!test
%! ## energy parameters only: the coefficients play no part
%! y = [0.5 1; 2i -1; 0 0.25];
%! a = RelayFrequencyMetrics (y, 2, 2, [1 2], [3 4], 0.8, 1.2, 0);
%! b = RelayFrequencyMetrics (y, 2, 2, [5i 0], [0 -1], 0.8, 1.2, 1);
%! assert (a, b);
%! assert (size (a), [1 18]);
%! ## a shared tone under csi_flag 2: (E1 + E2) Y / (H^2 + H (E1 + E2)) + Z
%! H = 1 / 2; R = 1 / 2;
%! assert (a(1), 2 * 0.25 / (H^2 + 2 * H) + log (R) - log (R + 2), 1e-6);
%!assert (RelayFrequencyMetrics ([1 2; 3 4], 1, 3, [1 1], [1 1], 1, 1, 0), zeros (1, 8))
%!assert (size (RelayFrequencyMetrics (zeros (3, 0), 1, 0, [], [], 1, 1, 0)), [1 0])
%!assert (RelayFrequencyMetrics ([2; 1i], 1.5, 1, 1, 0.5, 0, 0, 0), RelayFrequencyMetrics ([2; 1i], 1.5, 1, 1, 0.5, 7, 7, 0))
%!assert (RelayFrequencyMetrics ([1; 0], 1, 1, 1, [1 2 3], 1, 1, 0), RelayFrequencyMetrics ([1; 0], 1, 1, 1, 1, 1, 1, 0))
%!assert (RelayFrequencyMetrics ([1; 0], 1, 1.9, 1, 1, 1, 1, 0), RelayFrequencyMetrics ([1; 0], 1, 1, 1, 1, 1, 1, 0))

%!test
%! usage = "Usage: [output] = RelayFrequencyMetrics( input, EsNo,                csi_flag,                 a1,                 a2,                 sqE1,                 sqE2,                 csi1switch)";
%! expect_error (@() RelayFrequencyMetrics ([1; 0]), usage);
%! expect_error (@() RelayFrequencyMetrics ([1; 0], 1), usage);
%! expect_error (@() RelayFrequencyMetrics ([1; 0], 1, 1, 1, 1, 1, 1), usage);
%! fading = "Fading process must be same length as received signal";
%! expect_error (@() RelayFrequencyMetrics ([1 0; 0 1], 1, 1, 1, [1 1], 1, 1, 0), fading);
%! expect_error (@() RelayFrequencyMetrics ([1 0; 0 1], 1, 1, [1 1], 1, 1, 1, 0), fading);
%! expect_error (@() RelayFrequencyMetrics ([1 0; 0 1], 1, 1, [1 1], [], 1, 1, 0), fading);
%! expect_error (@() RelayFrequencyMetrics ([1; 0], 1, 0, 1, 1, 1, 1, 0), "full csi case (csi = 0) not implemented");
%! expect_error (@() RelayFrequencyMetrics ([1; 0], 1, 0.5, 1, 1, 1, 1, 0), "full csi case (csi = 0) not implemented");
%! expect_error (@() RelayFrequencyMetrics (zeros (2, 2), 1, 1, zeros (0, 2), [1 1], 1, 1, 0), "a1 has 2 columns but no rows");
%! expect_memory_refusal (@() RelayFrequencyMetrics (zeros (50000, 2), 1, 1, [1 1], [1 1], 1, 1, 0),
%!                        "the relay demodulator");

## SymbolBitMetrics
%!test
%! w = golden ("symbol_bit_metrics");
%! for k = 1:numel (w.M)
%!   prior = {w.prior{k}}(! isempty (w.prior{k}));
%!   assert (SymbolBitMetrics (reshape (w.metrics{k}, w.M{k}, []), w.type{k}, prior{:}), w.llr{k});
%! endfor
%!assert (SymbolBitMetrics ([0; 2]), 2)
%!assert (all (SymbolBitMetrics ([0; 0; 0; 5], 4) > 0))
%!assert (size (SymbolBitMetrics ([1 2 3])), [1 0])
%!assert (SymbolBitMetrics ([0; 0; 5; 0], 4.7), SymbolBitMetrics ([0; 0; 5; 0], 4))
%!assert (SymbolBitMetrics ([0; 0; 5; 0], -0.5), SymbolBitMetrics ([0; 0; 5; 0], 0))
%!assert (SymbolBitMetrics ([0 1; 0 2; 5 3; 0 4], 1, [0 4; 1 2]), SymbolBitMetrics ([0 1; 0 2; 5 3; 0 4], 1, [0 1]))  # 2 columns: 2 values
%!assert (SymbolBitMetrics ([0 1; 0 2; 5 3; 0 4], 1, [0 4]), SymbolBitMetrics ([0 1; 0 2; 5 3; 0 4], 1, [0 4 0 0]))
%!assert (SymbolBitMetrics (single ([0; 0; 5; 0]), int8 (1), single ([0 4])), [1 -5])
%!assert (SymbolBitMetrics ([0; 0; 5; 0], 1, [0 4], "ignored"), [1 -5])
%!test
%! ## a-priori values: the extrinsic output of a bit never sees its own value
%! L = [0.25; -1; 2; 0.5; -3; 1.5; 0; -0.75];
%! for type = 0:4
%!   base = SymbolBitMetrics (L, type, [0.5 -1 2]);
%!   moved = SymbolBitMetrics (L, type, [0.5 -1 7]);
%!   assert (moved(3), base(3));
%! endfor

%!test
%! usage = "Usage: [output] = SymbolBitMetrics( input, [demod_type], [extrinsic_info] )";
%! expect_error (@() SymbolBitMetrics (), usage);
%! expect_error (@() SymbolBitMetrics ([0; 2], 5), "demod_type must be be 0 through 4");
%! expect_error (@() SymbolBitMetrics ([0; 2], -1), "demod_type must be be 0 through 4");
%! expect_error (@() SymbolBitMetrics ([0; 2], NaN), "demod_type must be a finite number");
%! expect_error (@() SymbolBitMetrics (zeros (3, 2)), "Number of symbols M must be a power of 2");
%! expect_error (@() SymbolBitMetrics (zeros (6, 2)), "Number of symbols M must be a power of 2");
%! expect_error (@() SymbolBitMetrics (zeros (0, 2)), "Number of symbols M must be a power of 2");
%! ## the type is tested before the shape
%! expect_error (@() SymbolBitMetrics (zeros (3, 2), 7), "demod_type must be be 0 through 4");
%! assert (size (SymbolBitMetrics (zeros (4, 3), 0, zeros (1, 6))), [1 6]);
%! expect_error (@() SymbolBitMetrics (zeros (4, 3), 0, zeros (1, 7)), "Too many a prior LLR inputs");
%! expect_error (@() SymbolBitMetrics (zeros (4, 3), 0, zeros (0, 4)), "extrinsic_info has 4 columns but no rows");

## SoftDemap: every row equals PlaneMetrics then SymbolBitMetrics for that row, for
## every operator and thread count, with and without fading and a-priori values.
%!test
%! rand ("seed", 7); randn ("seed", 7);
%! qam = [-3 -1 3 1] + 1i * [-3; -1; 3; 1];  qam = qam(:) / sqrt (10);
%! F = 5;  N = 19;
%! y = (randn (F, N) + 1i * randn (F, N)) / 2;  y(2, 3) = qam(6);
%! a = randn (F, N) + 1i * randn (F, N);
%! prior = 3 * randn (F, 4 * N);
%! for type = 0:4
%!   for threads = [1 2 3]
%!     out = SoftDemap (y, qam, 4, type, prior, a, threads);
%!     bare = SoftDemap (y, qam.', 4, type, [], [], threads);
%!     for f = 1:F
%!       assert (out(f, :), SymbolBitMetrics (PlaneMetrics (y(f, :), qam, 4, a(f, :)), type, prior(f, :)));
%!       assert (bare(f, :), SymbolBitMetrics (PlaneMetrics (y(f, :), qam, 4), type));
%!     endfor
%!   endfor
%! endfor
%! assert (size (SoftDemap (zeros (0, 3), qam, 1)), [0 12]);
%! assert (size (SoftDemap (ones (2, 3), 1, 1)), [2 0]);
%! assert (SoftDemap (single ([1 -1]), [-1 1], 2, 1), [8 -8]);

%!test
%! usage = "Usage: [output] = SoftDemap(input, S_matrix, EsNo, demod_type, extrinsic_info, fade_coef, threads)";
%! s = [-1 1];
%! expect_error (@() SoftDemap ([1 2], s), usage);
%! expect_error (@() SoftDemap ([1 2], s, 1, 1, [], [], 0, 9), usage);
%! expect_error (@() SoftDemap ([1 2], [1 2 3], 1), "Number of symbols M must be a power of 2");
%! expect_error (@() SoftDemap ([1 2], s, 0), "EsNo must be a positive number (a linear ratio, not dB)");
%! expect_error (@() SoftDemap ([1 2], s, 1, 5), "demod_type must be be 0 through 4");
%! expect_error (@() SoftDemap ([1 2], s, 1, 1, [0 0 0]), "extrinsic_info must be 1 x 2 (one row per row of input), or []");
%! expect_error (@() SoftDemap ([1 2], s, 1, 1, [], [1 1; 1 1]), "fade_coef must be 1 x 2 (one row per row of input), or []");
%! expect_error (@() SoftDemap ([1 2], s, 1, 1, [], [], -1), "threads must be 0 (all) to 1024");
%! expect_error (@() SoftDemap ([1 NaN], s, 1), "input must not contain NaN");
%! expect_error (@() SoftDemap ([1 2], [NaN 1], 1), "S_matrix must not contain NaN");
%! expect_error (@() SoftDemap ([1 2], s, 1, 1, [0 Inf]), "extrinsic_info holds a value beyond the single-precision range");
%! expect_error (@() SoftDemap ([1 1e200], s, 1), "the symbol metrics lie beyond the single-precision range (input, S_matrix, fade_coef or EsNo too large)");

## RelayLabelMetrics
%!assert (RelayLabelMetrics ([0 5 5 0], 2, 1), 5)
%!assert (RelayLabelMetrics ([2 2 2 2], 2, 1), 0)
%!assert (RelayLabelMetrics ([2 2 2 2], 2, 4), 0)
%!assert (RelayLabelMetrics ([0 0 0 0], 2, 0, 3), 0)
%!assert (RelayLabelMetrics ([0 5 5 0 1 2 3], 2, 1), 5)       # leftover values are ignored
%!assert (RelayLabelMetrics ([0 5 5 0], 2), RelayLabelMetrics ([0 5 5 0], 2, 0, 0))
%!assert (size (RelayLabelMetrics ([1 2 3], 1)), [1 0])
%!assert (size (RelayLabelMetrics ([1 2 3], 2)), [1 0])
%!assert (RelayLabelMetrics ([0 5 5 0], 2.9, 1.5), 5)
%!assert (RelayLabelMetrics ([0 4 0 0 0 9 0 0 0], 3, 1), 9)       # M = 3: the low bit of p XOR q
%!test
%! ## exchanging the users keeps the output (exactly under max-log)
%! v = [0.5 -1 2 0.25 3 -2 1 0 -0.5 1.5 2.5 -3 0.75 1 -1.25 2];
%! w = reshape (reshape (v, 4, 4).', 1, 16);
%! assert (RelayLabelMetrics (w, 4, 1), RelayLabelMetrics (v, 4, 1));
%! assert (RelayLabelMetrics (w, 4, 4), RelayLabelMetrics (v, 4, 4), 1e-5);

%!test
%! usage = "Usage: [bit_llr] = RelayLabelMetrics( [sym_log_likelihood], [mod_order],  [demod_type], [extrinsic_info] )";
%! expect_error (@() RelayLabelMetrics ([0 5 5 0]), usage);
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], 2, 5), "demod_type must be be 0 through 4");
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], 2, 1, [1 2]), "Too many a prior LLR inputs");
%! assert (RelayLabelMetrics ([0 5 5 0], 2, 1, 7), 5);
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], 0), "mod_order must be at least 1");
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], -2), "mod_order must be at least 1");
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], NaN), "mod_order must be a finite number");
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], 2^31), "mod_order is out of range");
%! expect_error (@() RelayLabelMetrics (zeros (0, 8), 2), "sym_log_likelihood has 8 columns but no rows");
%! expect_error (@() RelayLabelMetrics ([0 5 5 0], 1, 1, 1), "Too many a prior LLR inputs");
%! assert (size (RelayLabelMetrics ([0 5 5 0], 2^30)), [1 0]);

## Noisy links

## Gray QPSK at high signal-to-noise ratio: Modulate, noise, PlaneMetrics and
## SymbolBitMetrics give the bits back by sign under every operator.
%!test
%! randn ("state", 3); rand ("state", 3);
%! qpsk = [1+1i, 1-1i, -1+1i, -1-1i] / sqrt (2);   # bit 0 on the real part, bit 1 on the imaginary
%! bits = double (rand (1, 2000) > 0.5);
%! x = Modulate (bits, qpsk);
%! es = 10 ^ (12 / 10);
%! y = x + sqrt (0.5 / es) * complex (randn (size (x)), randn (size (x)));
%! L = PlaneMetrics (y, qpsk, es);
%! assert (size (L), [4 1000]);
%! for type = 0:4
%!   llr = SymbolBitMetrics (L, type);
%!   assert (llr > 0, bits == 1);
%! endfor
%! ## with fading known to the receiver
%! a = complex (randn (size (x)), randn (size (x))) / sqrt (2) + 2;
%! es = 10 ^ (15 / 10);
%! L = PlaneMetrics (a .* x + sqrt (0.5 / es) * complex (randn (size (x)), randn (size (x))), qpsk, es, a);
%! assert (mean ((SymbolBitMetrics (L, 4) > 0) != bits) < 2e-3);

## Orthogonal 4-FSK: the tone with the largest metric is the one sent, under every model
## of channel knowledge.
%!test
%! randn ("state", 4); rand ("state", 4);
%! M = 4; N = 500; es = 10 ^ (25 / 10);
%! sent = floor (rand (1, N) * M);
%! a = complex (randn (1, N), randn (1, N)) / sqrt (2);
%! a = a ./ abs (a) .* max (abs (a), 0.7);
%! y = sqrt (0.5 / es) * complex (randn (M, N), randn (M, N));
%! y(sent + 1 + M * (0:N-1)) += a;
%! for csi = 0:2
%!   [~, k] = max (ToneMetrics (y, es, csi, a));
%!   assert (k - 1, sent);
%! endfor

## Two users on 4-FSK through a relay: RelayFrequencyMetrics and RelayLabelMetrics give
## the bits of the exclusive-or of the two users' labels.
%!test
%! randn ("state", 5); rand ("state", 5);
%! M = 4; N = 400; es = 10 ^ (18 / 10);
%! u1 = floor (rand (1, N) * M); u2 = floor (rand (1, N) * M);
%! a1 = exp (2i * pi * rand (1, N)); a2 = 0.8 * exp (2i * pi * rand (1, N));
%! y = sqrt (0.5 / es) * complex (randn (M, N), randn (M, N));
%! for i = 1:N
%!   y(u1(i) + 1, i) += a1(i);
%!   y(u2(i) + 1, i) += a2(i);
%! endfor
%! nc = bitxor (u1, u2);
%! expected = reshape ([bitshift(nc, -1); bitand(nc, 1)], 1, []);
%! for csi = 1:2
%!   pairs = RelayFrequencyMetrics (y, es, csi, a1, a2, 1, 0.64, 0);
%!   assert (size (pairs), [1 M * M * N]);
%!   for type = [1 4]
%!     llr = RelayLabelMetrics (pairs, M, type);
%!     assert (mean ((llr > 0) != expected) < 0.01);
%!   endfor
%! endfor
%! pairs = RelayFrequencyMetrics (y, es, 1, a1, a2, 1, 0.64, 0);
%! assert (RelayLabelMetrics (pairs, M, 1) > 0, expected == 1);
