% CircularPairCoder  Encode a circular double-binary block (DVB-RCS constituent code).
%
%   [outz, Sc] = CircularPairCoder(x, poly)
%
%   Encodes pairs of data bits (A, B) with the eight-state double-binary circular
%   recursive systematic code of ETSI EN 301 790. The encoder starts in the
%   circulation state Sc, found from the block, so that it also ends in Sc; only
%   the parity bits are returned (the systematic bits are x itself).
%
%   Arguments
%     x     data bits, any shape with an even number of elements, read in storage
%           (column-major) order: elements 2t and 2t+1 are A and B of pair t. Only
%           the lowest bit of each truncated value counts (2 is 0, 3 and -1 are 1).
%           The number of pairs N must not be a multiple of 7 (no circulation
%           state exists then).
%     poly  2 x 4 parity generators: row j gives parity bit z_j; column 0 taps the
%           feedback bit, columns 1..3 the state bits s2, s1, s0.
%
%   Outputs
%     outz  2 x N parity bits: column t holds z0 and z1 of pair t.
%     Sc    the circulation state, 0..7.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     [outz, Sc] = CircularPairCoder([1 0 0 1 1 1 0 0 1 0], [1 0 1 1; 1 0 0 1])
%     % outz = [0 0 1 0 0; 1 0 1 0 0], Sc = 2
%
%   See also CircularPairPosterior.
