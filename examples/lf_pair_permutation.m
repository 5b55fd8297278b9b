## [alpha, swap] = lf_pair_permutation (N)
## Permutation of the N pairs of a double-binary turbo code, by the two-level rule of
## the DVB-RCS code: the pair at interleaved position j (0-based) is the pair at
##   alpha(j) = (P0 * j + P + 1) mod N,  P = 0, N/2 + P1, P2, N/2 + P3 for j mod 4 =
##   0, 1, 2, 3,
## and its two bits A and B are exchanged when j is even (swap(j) true). The pair
## permutation spreads neighbouring pairs far apart; the exchange inside every other
## pair breaks the low-weight patterns a pure pair permutation keeps. ALPHA is 0-based
## (the convention of Interleave and Deinterleave), SWAP a logical 1 x N row.
## Parameters (P0; P1, P2, P3) for N = 48, 64, 212 (ATM cells) and 752 (MPEG
## packets): (11; 24, 0, 24), (7; 34, 32, 2), (13; 106, 108, 2), (19; 2, 16, 6).
## Example: [alpha, swap] = lf_pair_permutation (212)
function [alpha, swap] = lf_pair_permutation (N)
  table = [48 11 24 0 24; 64 7 34 32 2; 212 13 106 108 2; 752 19 2 16 6];
  row = find (table(:, 1) == N);
  if (isempty (row))
    error ("lf_pair_permutation: no parameters for N = %g pairs; known: %s", N,
           num2str (table(:, 1)'));
  endif
  P0 = table(row, 2);
  j = 0:N-1;
  offsets = [0, N/2 + table(row, 3), table(row, 4), N/2 + table(row, 5)];
  alpha = mod (P0 * j + offsets(mod (j, 4) + 1) + 1, N);
  swap = mod (j, 2) == 0;
endfunction
