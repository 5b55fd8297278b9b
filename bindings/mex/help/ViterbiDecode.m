% ViterbiDecode  Viterbi decoding of many blocks of a convolutional code at once.
%
%   output_u = ViterbiDecode(input_c, g_encoder)
%   output_u = ViterbiDecode(input_c, g_encoder, code_type, depth, threads)
%
%   Decodes F blocks, one per row of INPUT_C, as TrellisBestPath decodes one: the
%   best path through the trellis, terminated blocks from state 0 to state 0,
%   tail-biting blocks as a ring with depth*K steps of wrap-around, ties to the lower
%   previous state and to bit 0. Row f of the output is, bit for bit,
%   TrellisBestPath(input_c(f, :), g_encoder, code_type, depth). Rows share SIMD
%   lanes (16 on a processor with AVX-512) and threads, so a call of many rows takes
%   far less time than as many calls of TrellisBestPath; the results do not depend
%   on the machine or the thread count.
%
%   Arguments
%     input_c    F x CL channel log-likelihood ratios ln(P(1)/P(0)) of the code
%                bits, one block per row laid out as TrellisCoder's output. CL must
%                be a multiple of n; a terminated block needs CL >= (K - 1)*n, a
%                tail-biting one at least one step. F may be 0.
%     g_encoder  n x K generator matrix, read as TrellisCoder reads it.
%     code_type  0 (default): recursive systematic, terminated; 1 (or below):
%                feed-forward, terminated; 2 (or above): feed-forward, tail-biting.
%     depth      wrap-around of tail-biting blocks, in multiples of K steps
%                (default 6, not negative); ignored for terminated blocks.
%     threads    threads to use (default 0: every core of the machine).
%
%   Output
%     output_u   F x L data bits of 0 and 1: L = CL/n - (K - 1) for terminated
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
%     c = [TrellisCoder([1 0 1 1], g, 1); TrellisCoder([0 1 1 0], g, 1)];
%     y = 2 * (2 * c - 1);  y(1, 3) = -y(1, 3);   % one code bit in error
%     ViterbiDecode(y, g, 1)                      % returns [1 0 1 1; 0 1 1 0]
%
%   See also TrellisBestPath, TrellisCoder, TurboDecode.
