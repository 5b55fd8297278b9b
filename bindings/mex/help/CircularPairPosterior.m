% CircularPairPosterior  Soft-in/soft-out decoding of a circular double-binary code.
%
%   [outx, outz, soft_bits] = CircularPairPosterior(inx, inz, poly, dec_type)
%
%   Symbol-level forward-backward decoder of the code of CircularPairCoder. Since
%   neither start nor end state is known, both recursions start from equal metrics
%   and run round the block, at most four laps, until a lap repeats the previous one.
%
%   Values are natural-log ratios against value 0: ln(P(u = k)/P(u = 0)) for a data
%   symbol u = 2A + B or a parity symbol z = 2 z0 + z1, ln(P(1)/P(0)) for bits.
%
%   Arguments
%     inx       3 x N: row k of column t holds the value of data symbol k (k = 1..3)
%               of pair t (channel and a-priori information together).
%     inz       3 x N: the same for the parity symbol of pair t.
%     poly      2 x 4 parity generators, as for CircularPairCoder.
%     dec_type  0..4, the Jacobian logarithm: 1 max-log, 4 exact log-MAP, 0, 2, 3
%               approximations (see TrellisPosterior).
%
%   Outputs (a-posteriori values that include the inputs)
%     outx       3 x N data-symbol values.
%     outz       3 x N parity-symbol values.
%     soft_bits  2 x N bit values: row 1 bit A, row 2 bit B of each pair; in
%                storage order one value per bit of CircularPairCoder's input.
%
%   Limits
%     inx and inz must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     [x, z, b] = CircularPairPosterior([1; 2; 3], [0.5; -1; 0], [1 0 1 1; 1 0 0 1], 1)
%     % x = [1; 2; 3], z = [0.5; -0.5; 0], b = [2; 1]
%
%   See also CircularPairCoder.
