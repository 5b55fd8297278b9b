## The polar modules through the host: construction, encoding and decoding of rows with
## every list size and a CRC, and bad input.

## Noiseless rows decode with every list size, with and without the CRC; the positions
## are 0-based and sorted, and the code carries the data at them before the transform.
%!test
%! info = PolarConstruct (40, 64);
%! assert (size (info), [1 40]);
%! assert (all (diff (info) > 0) && info(1) >= 0 && info(end) <= 63);
%! data = CrcAttach (double (rand (3, 29) > 0.5), "11");
%! code = PolarEncode (data, 64);
%! u = zeros (3, 64);
%! u(:, info + 1) = data;
%! G = 1;
%! for i = 1:6
%!   G = kron ([1 0; 1 1], G);
%! endfor
%! assert (code, mod (u * G, 2));
%! llr = 4 * (2 * code - 1);
%! for L = [1 2 8 32]
%!   assert (PolarDecode (llr, 40, 64, L), data);
%!   assert (PolarDecode (llr, 40, 64, L, "11", 1), data);
%! endfor
%! assert (PolarDecode (single (llr), 40, 64), data);
%! assert (size (PolarDecode (zeros (0, 64), 40, 64, 8)), [0 40]);

## One path equals successive cancellation; the list and the CRC aid find frames SC
## misses (a fixed seed, moderate noise).
%!test
%! randn ("seed", 3); rand ("seed", 3);
%! data = CrcAttach (double (rand (40, 117) > 0.5), "11");
%! code = PolarEncode (data, 256);
%! sigma = 0.9;
%! llr = 2 * ((2 * code - 1) + sigma * randn (size (code))) / sigma ^ 2;
%! sc = PolarDecode (llr, 128, 256);
%! assert (PolarDecode (llr, 128, 256, 1, "11"), sc);
%! errors = @(d) sum (any (d != data, 2));
%! assert (errors (sc) > 0);
%! assert (errors (PolarDecode (llr, 128, 256, 8, "11")) <= errors (PolarDecode (llr, 128, 256, 8)));
%! assert (errors (PolarDecode (llr, 128, 256, 8)) <= errors (sc));

%!test
%! expect_error (@() PolarConstruct (10, 100), "N must be a power of two from 32 to 1024, got 100");
%! expect_error (@() PolarConstruct (65, 64), "K must be from 1 to 64, got 65");
%! expect_error (@() PolarEncode ([1 0 2], 32), "data must hold only 0 and 1");
%! expect_error (@() PolarDecode (zeros (1, 64), 40, 64, 3), "L must be a power of two from 1 to 32, got 3");
%! expect_error (@() PolarDecode (zeros (1, 64), 40, 64, 8, "12"), "crc '12' is not a CRC: use '' or one of '24A', '24B', '24C', '16', '11', '8', '6'");
%! expect_error (@() PolarDecode (zeros (1, 32), 6, 32, 8, "6"), "K = 6 leaves no data before the 6 parity bits of CRC 6");
%! expect_error (@() PolarDecode ([NaN zeros(1, 31)], 6, 32), "llr must not contain NaN");
%! expect_error (@() PolarDecode (zeros (1, 64), 20, 32), "llr must have N = 32 columns, not 64");
%! expect_error (@() PolarDecode (zeros (1, 64), 40), "Usage: data = PolarDecode(llr, K, N, L, crc, threads, E)");

## Rate matching through the host: the worked values of the help texts, repetitions
## adding up, and a CRC-aided chain at the control size K = 64, E = 432 (puncturing,
## whose adjusted positions are the plain ones there), with and without the triangle.
%!test
%! assert (PolarCodeLength (64, 432), 512);
%! assert (PolarCodeLength (200, 2000, "uplink"), 1024);
%! assert (PolarRateMatch (0:31, 1, 5, 1), [28 30 27 31 29]);
%! assert (PolarRateMatch (0:31, 1, 5), [28 27 29 30 31]);
%! L = PolarRateRecover ([1 2 3 4 5; 6 7 8 9 10], 1, 32);
%! assert (L(:, 28:32), [2 1 3 4 5; 7 6 8 9 10]);
%! assert (L(:, 1:27), zeros (2, 27));
%! L = PolarRateRecover (ones (2, 40), 20, 32);            # repetition: y_0..y_7 twice
%! twice = [0 1 2 4 3 5 6 7] + 1;
%! assert (L(:, twice), 2 * ones (2, 8));
%! assert (L(:, setdiff (1:32, twice)), ones (2, 24));
%! L = PolarRateRecover (ones (1, 20), 12, 32);            # shortening: a certain 0
%! assert (sort (find (L == -2^20)) - 1, sort ([14 22 15 23 24 25 26 28 27 29 30 31]));
%! assert (PolarConstruct (12, 32, 20)(1:3), [6 7 9]);
%! assert (size (PolarRateRecover (zeros (0, 432), 64, 512)), [0 512]);
%! K = 64; E = 432; N = PolarCodeLength (K, E);
%! assert (PolarConstruct (K, N, E), PolarConstruct (K, N));
%! data = CrcAttach (double (rand (4, K - 11) > 0.5), "11");
%! for interleave = [0 1]
%!   sent = PolarRateMatch (PolarEncode (data, N), K, E, interleave);
%!   assert (size (sent), [4 E]);
%!   llr = PolarRateRecover (3 * (2 * sent - 1), K, N, interleave);
%!   assert (PolarDecode (llr, K, N, 8, "11"), data);
%! endfor
%! ## Shortening moves the positions (K = 100, E = 140 of N = 256): the chain with E.
%! K = 100; E = 140; N = PolarCodeLength (K, E);
%! assert (N, 256);
%! assert (! isequal (PolarConstruct (K, N, E), PolarConstruct (K, N)));
%! data = CrcAttach (double (rand (3, K - 11) > 0.5), "11");
%! code = PolarEncode (data, N, E);
%! u = zeros (3, N);
%! u(:, PolarConstruct (K, N, E) + 1) = data;
%! assert (code, PolarEncode (u, N));            # K = N: the transform of u itself
%! llr = PolarRateRecover (3 * (2 * PolarRateMatch (code, K, E, 1) - 1), K, N, 1);
%! assert (PolarDecode (llr, K, N, [], "11", [], E), data);
%! assert (PolarDecode (llr, K, N, 1, "", 1, E), data);

%!test
%! expect_error (@() PolarCodeLength (600, 700), "polar rate matching: K = 600 exceeds the longest code, N = 512");
%! expect_error (@() PolarCodeLength (20, 10), "E must be from 20 to 1048576, got 10");
%! expect_error (@() PolarCodeLength (20, 100, "up"), "link must be 'downlink' or 'uplink', not 'up'");
%! expect_error (@() PolarCodeLength (-3, 100), "K must be a positive integer");
%! expect_error (@() PolarConstruct (20, 32, 10), "E must be from 20 to 1048576, got 10");
%! expect_error (@() PolarRateMatch (zeros (1, 48), 10, 100), "code must have N columns, a power of two from 32 to 1024, not 48");
%! expect_error (@() PolarRateMatch (zeros (1, 32), 40, 100), "K must be from 1 to 32, got 40");
%! expect_error (@() PolarRateMatch (zeros (1, 32), 10, 100, 2), "interleave must be 0 or 1");
%! expect_error (@() PolarRateMatch ([NaN zeros(1, 31)], 10, 100), "code must not contain NaN");
%! expect_error (@() PolarRateRecover (zeros (1, 9), 10, 32), "E must be from 10 to 1048576, got 9");
%! expect_error (@() PolarRateRecover ([Inf zeros(1, 19)], 10, 32), "llr holds a value beyond the single-precision range");
%! expect_error (@() PolarRateRecover (zeros (1, 20), 10), "Usage: llr_code = PolarRateRecover(llr, K, N, interleave)");
