% TrellisCoder  Encode data bits with a binary convolutional code.
%
%   output = TrellisCoder(input, g_encoder)
%   output = TrellisCoder(input, g_encoder, code_type)
%
%   Encodes the data bits INPUT with the convolutional code whose generator matrix
%   is G_ENCODER: recursive systematic or feed-forward, terminated by tail steps or
%   tail-biting. The output is the code-bit stream that TrellisPosterior and
%   TrellisBestPath decode.
%
%   Arguments
%     input      1 x L data bits. Each value is truncated toward zero; anything
%                other than 0 is a 1 (0.7 gives 0, -2 gives 1). NaN is refused.
%     g_encoder  n x K generator matrix: n code bits per step, constraint length K,
%                memory m = K - 1, 2^m states. Row i gives code bit i; column 0 taps
%                the bit entering the register now, column j the bit that entered j
%                steps ago. Any nonzero entry is a tap. K - 1 and n must be below 31.
%     code_type  0 (default): recursive systematic, terminated. Row 0 is the
%                  feedback polynomial; code bit 0 is the data bit; m tail steps
%                  return the register to state 0.
%                1 (and any negative value): feed-forward, terminated by m zero
%                  tail steps.
%                2 (and above): feed-forward, tail-biting: no tail, the encoder
%                  starts in the state where it ends (needs L >= K - 1).
%                Read only when exactly three arguments are given.
%
%   Output
%     output     1 x n*(L + m) code bits of 0 and 1 (1 x n*L when tail-biting),
%                step-major: element k*n + i is code bit i of step k, code bit 0
%                first; the tail steps come last.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     g = [1 1 1; 1 0 1];               % the (7, 5) code
%     TrellisCoder([1 0 1 1], g, 1)     % returns 1 1 1 0 0 0 0 1 0 1 1 1
%     TrellisCoder([1 0 1 1], g, 2)     % tail-biting: 1 0 0 1 0 0 0 1
%
%   See also TrellisPosterior, TrellisBestPath, Puncture, Interleave.
