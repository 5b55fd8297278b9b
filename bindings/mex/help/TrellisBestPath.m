% TrellisBestPath  Viterbi decoding of a convolutional code.
%
%   output_u = TrellisBestPath(input_c, g_encoder)
%   output_u = TrellisBestPath(input_c, g_encoder, code_type, depth)
%
%   Returns the data bits of the best path through the trellis: the path whose code
%   bits have the largest correlation with the channel values (the sum of the
%   log-likelihood ratios of the code bits it sets to 1). Terminated blocks are
%   decoded from state 0 to state 0; tail-biting blocks are decoded as a ring with
%   depth*K steps of wrap-around before and after the block. Ties go to the lower
%   previous state and to bit 0.
%
%   Arguments
%     input_c    1 x CL channel log-likelihood ratios ln(P(1)/P(0)) of the code
%                bits, laid out as TrellisCoder's output. CL must be a multiple of
%                n; a terminated block needs CL >= (K - 1)*n, a tail-biting one at
%                least one step.
%     g_encoder  n x K generator matrix, read as TrellisCoder reads it.
%     code_type  0 (default): recursive systematic, terminated; 1 (or below):
%                feed-forward, terminated; 2 (or above): feed-forward, tail-biting.
%     depth      wrap-around of tail-biting blocks, in multiples of K steps
%                (default 6, not negative); ignored for terminated blocks.
%
%   Output
%     output_u   1 x L data bits of 0 and 1: L = CL/n - (K - 1) for terminated
%                blocks, CL/n for tail-biting ones.
%
%   Limits
%     input_c must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     g = [1 1 1; 1 0 1];
%     c = TrellisCoder([1 0 1 1], g, 1);
%     y = 2 * (2 * c - 1);  y(3) = -y(3);   % one code bit in error
%     TrellisBestPath(y, g, 1)               % returns 1 0 1 1
%
%   See also TrellisCoder, TrellisPosterior, Depuncture.
