% QppPermutation  Internal interleaver of the LTE turbo code.
%
%   alpha = QppPermutation(K)
%
%   Returns the turbo code internal interleaver of 3GPP TS 36.212 (5.1.3.2.3) for a
%   block of K bits: the quadratic permutation polynomial
%     alpha(j) = mod(f1*j + f2*j^2, K),  j = 0..K-1,
%   with f1 and f2 of the standard's Table 5.1.3-3. K must be one of its 188 sizes:
%   40..512 in steps of 8, 528..1024 in steps of 16, 1056..2048 in steps of 32 and
%   2112..6144 in steps of 64.
%
%   Arguments
%     K      block size, one of the 188 (truncated toward zero). Another number is
%            refused with the sizes next to it in the message.
%
%   Output
%     alpha  1 x K permutation of 0..K-1, 0-based: interleaved(k) = data(alpha(k)),
%            which in Octave indexing is data(alpha + 1). Pass it unchanged to
%            Interleave, Deinterleave and TurboDecode.
%
%   Example
%     alpha = QppPermutation(40);
%     alpha(1:6)                                  % returns 0 13 6 19 12 25
%     isequal(sort(alpha), 0:39)                  % returns 1
%
%   See also Interleave, Deinterleave, TurboDecode, WcdmaPermutation.
