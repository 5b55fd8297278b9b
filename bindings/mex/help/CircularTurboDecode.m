% CircularTurboDecode  Iterative decoding of many frames of a double-binary turbo code.
%
%   app = CircularTurboDecode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type)
%   app = CircularTurboDecode(Lx, Lz1, Lz2, poly, alpha, swap, iterations, dec_type, threads)
%
%   Decodes F frames, one per row, of a turbo code built from two circular
%   double-binary codes (CircularPairCoder): the first encodes the N data pairs in
%   natural order, the second the pairs permuted by (alpha, swap). Each iteration
%   runs CircularPairPosterior on the first code and then on the second, each taking
%   the channel values of its code plus the other's extrinsic values (its output
%   minus its input). Row f of the output is, bit for bit, what that loop of
%   CircularPairPosterior, Interleave and Deinterleave calls gives for frame f, with
%   the extrinsic values formed in double precision. Rows share SIMD lanes (16 on a
%   processor with AVX-512) and threads, so a call of many rows takes far less time
%   than the loop; the results do not depend on the machine or the thread count.
%
%   Values are natural-log ratios against value 0: ln(P(u = k)/P(u = 0)) of a data
%   symbol u = 2A + B or a parity symbol z = 2 z0 + z1, k = 1..3.
%
%   Arguments
%     Lx          F x 3N channel values of the data pairs: columns 3t-2..3t hold the
%                 values of k = 1..3 for pair t (CircularPairPosterior's 3 x N
%                 layout, read column by column).
%     Lz1, Lz2    F x 3N channel values of the parity symbols of the first and the
%                 second code, laid out the same way (the second in its own order).
%     poly        2 x 4 parity generators, as for CircularPairCoder.
%     alpha       1 x N 0-based pair permutation: the second code's pair j is data
%                 pair alpha(j+1).
%     swap        1 x N: where nonzero, bits A and B of the second code's pair j are
%                 exchanged (the values of u = 1 and u = 2 change places).
%     iterations  rounds of both decoders, 1 to 1000.
%     dec_type    0..4, the Jacobian logarithm: 1 max-log, 4 exact log-MAP, 0, 2, 3
%                 approximations (see TrellisPosterior).
%     threads     threads to use (default 0: every core of the machine).
%
%   Output
%     app         F x 3N a-posteriori values of the data pairs after the last
%                 iteration, in natural order and laid out as Lx.
%
%   Limits
%     Lx, Lz1 and Lz2 must not hold NaN or values beyond the single-precision range
%     (an infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     poly = [1 0 1 1; 1 0 0 1];  N = 8;
%     alpha = [3 6 1 4 7 2 5 0];  swap = [1 0 0 1 0 1 0 0];
%     L = repmat([-2; -2; -4], 1, N);  % every pair sent as u = 0 ...
%     Lx = L;  Lx(:, 3) = [1; -1; -1];   % ... but pair 3 heard as u = 1
%     app = CircularTurboDecode(Lx(:)', L(:)', L(:)', poly, alpha, swap, 4, 1);
%     [~, u] = max([zeros(1, N); reshape(app, 3, N)]);
%     u - 1                              % returns [0 0 0 0 0 0 0 0]
%
%   See also CircularPairPosterior, CircularPairCoder, Interleave.
