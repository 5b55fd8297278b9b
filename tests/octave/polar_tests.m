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
%! expect_error (@() PolarConstruct (10, 100), "polar code: N must be a power of two from 32 to 1024, got 100");
%! expect_error (@() PolarConstruct (65, 64), "polar code: K must be from 1 to N = 64, got 65");
%! expect_error (@() PolarEncode ([1 0 2], 32), "data must hold only 0 and 1");
%! expect_error (@() PolarDecode (zeros (1, 64), 40, 64, 3), "PolarDecode: the list size must be 1, 2, 4, 8, 16 or 32, got 3");
%! expect_error (@() PolarDecode (zeros (1, 64), 40, 64, 8, "12"), "crc '12' is not a CRC: use '' or one of '24A', '24B', '24C', '16', '11', '8', '6'");
%! expect_error (@() PolarDecode (zeros (1, 32), 6, 32, 8, "6"), "PolarDecode: K = 6 leaves no data before the 6 parity bits of CRC 6");
%! expect_error (@() PolarDecode ([NaN zeros(1, 31)], 6, 32), "llr must not contain NaN");
%! expect_error (@() PolarDecode (zeros (1, 64), 20, 32), "llr must have N = 32 columns, not 64");
%! expect_error (@() PolarDecode (zeros (1, 64), 40), "Usage: data = PolarDecode(llr, K, N, L, crc, threads)");
