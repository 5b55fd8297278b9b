% TrellisPosterior  Soft-in/soft-out decoding of a terminated convolutional code.
%
%   [output_u, output_c] = TrellisPosterior(input_u, input_c, g_encoder)
%   [output_u, output_c] = TrellisPosterior(input_u, input_c, g_encoder, code_type, decoder_type)
%
%   Runs the forward-backward (log-domain MAP) algorithm over the trellis of the
%   code and returns a-posteriori log-likelihood ratios of the data bits and of the
%   code bits. The Jacobian logarithm is chosen by DECODER_TYPE, so the same decoder
%   runs as exact log-MAP, max-log-MAP or an approximation between them. It is the
%   constituent decoder of a turbo decoder: subtract each input from the matching
%   output to obtain extrinsic values.
%
%   Log-likelihood ratios are ln(P(bit = 1) / P(bit = 0)): positive favours 1.
%
%   Arguments
%     input_u       1 x L a-priori values of the data bits (zeros when none).
%     input_c       1 x (L + m)*n channel values of the code bits, laid out as
%                   TrellisCoder's output (step-major, tail steps last).
%     g_encoder     n x K generator matrix, read as TrellisCoder reads it.
%     code_type     0 (default): recursive systematic; any other value:
%                   feed-forward. The block is always terminated (starts and ends
%                   in state 0); tail-biting blocks are not supported.
%     decoder_type  0 (default): linear correction; 1: max-log (no correction);
%                   2: constant correction; 3: piecewise-linear correction;
%                   4: exact log-MAP.
%
%   Outputs
%     output_u      1 x L a-posteriori values of the data bits (they include
%                   input_u).
%     output_c      1 x (L + m)*n a-posteriori values of the code bits (they
%                   include input_c).
%
%   Computation is in single precision in a fixed order, so results are the same
%   bit for bit on every run.
%
%   Limits
%     input_u and input_c must not hold NaN or values beyond the single-precision
%     range (an infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     g = [1 1 1; 1 0 1];
%     c = TrellisCoder([1 0 1 1], g, 1);
%     [u, ~] = TrellisPosterior(zeros(1, 4), 2 * (2 * c - 1), g, 1, 1)
%     % u = 10 -10 10 10
%
%   See also TrellisCoder, TrellisBestPath, Interleave, Deinterleave.
