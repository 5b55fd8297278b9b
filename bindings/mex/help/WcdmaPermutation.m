% WcdmaPermutation  Internal interleaver of the 3GPP TS 25.212 (UMTS) turbo code.
%
%   alpha = WcdmaPermutation(K)
%
%   Returns the turbo code internal interleaver of the third-generation cellular
%   standard 3GPP TS 25.212 for a block of K bits: the bits are written row by row into
%   a matrix of 5, 10 or 20 rows, permuted within each row by the prime-based rule and
%   between the rows by the standard's pattern, read out column by column and pruned to
%   K. The permutation depends on K only.
%
%   Arguments
%     K      block length 40..5114, truncated toward zero (40.9 is 40; 39.99 is 39
%            and refused).
%
%   Output
%     alpha  1 x K permutation of 0..K-1, 0-based: interleaved(k) = data(alpha(k)),
%            which in Octave indexing is data(alpha + 1). Pass it unchanged to
%            Interleave and Deinterleave.
%
%   Example
%     alpha = WcdmaPermutation(40);
%     alpha(1:6)                                  % returns 39 25 17 9 1 35
%     x = 101:140;
%     isequal(Interleave(x, alpha), x(alpha + 1)) % returns 1
%
%   See also Interleave, Deinterleave, SpaceLinkPermutation, SpreadPermutation.
