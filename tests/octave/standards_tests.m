## The standard codes through the host: CrcAttach and CrcCheck on a catalogue value and
## on rows of every class, QppPermutation on a worked value, and bad input.

## The check value of CRC 16 on the nine ASCII bytes "123456789", rows of any class, and
## CrcCheck taking the rows apart again: ok is logical, one per row.
%!test
%! v = golden ("crc_check_values");
%! bits = reshape (dec2bin (v.message, 8)' - "0", 1, []);
%! word = CrcAttach (bits, "16");
%! assert (word(1:72), bits);
%! assert (polyval (word(73:end), 2), v.gCRC16);
%! data = double (rand (5, 37) > 0.5);
%! for name = {"24A", "24B", "24C", "16", "11", "8", "6"}
%!   w = CrcAttach (data, name{1});
%!   assert (CrcAttach (logical (data), name{1}), w);
%!   assert (CrcAttach (uint8 (data(3, :)), name{1}), w(3, :));
%!   w(4, 2) = 1 - w(4, 2);
%!   [back, ok] = CrcCheck (w, name{1});
%!   expected = data;
%!   expected(4, 2) = 1 - expected(4, 2);
%!   assert (back, expected);
%!   assert (ok, logical ([1; 1; 1; 0; 1]));
%!   assert (CrcCheck (w, name{1}), back);
%! endfor

## Empty rows and frames: a CRC of no bits is zero, no rows give no rows.
%!test
%! assert (CrcAttach (zeros (2, 0), "6"), zeros (2, 6));
%! assert (size (CrcAttach (zeros (0, 9), "24A")), [0 33]);
%! [data, ok] = CrcCheck (zeros (0, 30), "24C");
%! assert (size (data), [0 6]);
%! assert (size (ok), [0 1]);
%! assert (islogical (ok));
%! [data, ok] = CrcCheck (zeros (1, 8), "8");
%! assert (size (data), [1 0]);
%! assert (ok, true);

%!test
%! expect_error (@() CrcAttach ([1 0 1], "24a"), "name '24a' is not a CRC: use one of '24A', '24B', '24C', '16', '11', '8', '6'");
%! expect_error (@() CrcAttach ([1 0 1], 16), "name must be the text of a CRC: one of '24A', '24B', '24C', '16', '11', '8', '6'");
%! expect_error (@() CrcAttach ([1 0 1]), "Usage: word = CrcAttach(data, name)");
%! expect_error (@() CrcAttach ([0 2 1], "8"), "data must hold only 0 and 1 (2 found)");
%! expect_error (@() CrcAttach ([0 NaN 1], "8"), "data must not contain NaN");
%! expect_error (@() CrcAttach ({1}, "8"), "data must be a numeric or logical array, not cell");
%! expect_error (@() CrcCheck ([0 1 0.5 1 1 1 1], "6"), "word must hold only 0 and 1 (0.5 found)");
%! expect_error (@() CrcCheck (zeros (2, 5), "6"), "word must have at least the 6 columns of the parity bits of CRC '6', not 5");
%! expect_error (@() CrcCheck (zeros (2, 8), "6"), "Usage: [data, ok] = CrcCheck(word, name)", 3);

## QppPermutation: the first positions of K = 40 (f1 = 3, f2 = 10), worked by hand, and
## the host's conventions; the sizes and polynomials are checked in C++.
%!test
%! alpha = QppPermutation (40);
%! assert (alpha(1:6), [0 13 6 19 12 25]);
%! assert (sort (alpha), 0:39);
%! assert (size (QppPermutation (6144)), [1 6144]);
%! assert (QppPermutation (int16 (48)), QppPermutation (48.9));

%!test
%! expect_error (@() QppPermutation (1000), "K = 1000 is not an LTE interleaver size; the nearest are 992 and 1008");
%! expect_error (@() QppPermutation (6145), "K = 6145 is not an LTE interleaver size; the nearest is 6144");
%! expect_error (@() QppPermutation (-3), "K = -3 is not an LTE interleaver size; the nearest is 40");
%! expect_error (@() QppPermutation (NaN), "K must be a finite number");
%! expect_error (@() QppPermutation ([]), "K must not be empty");
%! expect_error (@() QppPermutation (1e10), "K is out of range");
%! expect_error (@() QppPermutation (), "Usage: alpha = QppPermutation(K)");
