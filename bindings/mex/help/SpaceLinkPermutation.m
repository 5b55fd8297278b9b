% SpaceLinkPermutation  Turbo code permutation of the CCSDS 131.0-B telemetry standard.
%
%   alpha = SpaceLinkPermutation(K)
%
%   Returns the permutation of the turbo code of the space telemetry channel coding
%   standard CCSDS 131.0-B for one of its four information block lengths. The
%   permutation is the standard's closed formula in the position (k1 = 8, k2 = K/8);
%   it depends on K only.
%
%   Arguments
%     K      1784, 3568, 7136 or 8920 (223*8 times 1, 2, 4 or 5), truncated toward
%            zero; any other length is refused.
%
%   Output
%     alpha  1 x K permutation of 0..K-1, 0-based: interleaved(k) = data(alpha(k)),
%            which in Octave indexing is data(alpha + 1). The standard numbers
%            positions from 1: alpha(s) = pi(s) - 1 for s = 1..K. Pass it unchanged to
%            Interleave and Deinterleave.
%
%   Example
%     alpha = SpaceLinkPermutation(1784);
%     alpha(1:5)                       % returns 3 170 299 466 595
%     alpha(end-3:end)                 % returns 1101 1268 1445 1612
%
%   See also Interleave, Deinterleave, WcdmaPermutation, SpreadPermutation.
