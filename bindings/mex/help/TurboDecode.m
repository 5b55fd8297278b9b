% TurboDecode  Iterative decoding of a turbo code, many frames per call.
%
%   app = TurboDecode(ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type)
%   [app, app_all, iterations_run] = TurboDecode(ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type, threads, early_stop)
%
%   Decodes F frames of a rate-1/3 turbo code, one frame per row: two recursive
%   systematic constituent codes with generator g, the second fed with the data
%   permuted by alpha, each terminated by its own tail. Per iteration the first
%   decoder runs on the systematic and first parity values with the a-priori values
%   (zero at first), its extrinsic values (a-posteriori minus a-priori minus
%   systematic) are permuted by alpha and feed the second decoder, and the second
%   decoder's extrinsic values, put back in order, are the next a-priori values.
%   Every row's result is, bit for bit, what TrellisPosterior, Interleave and
%   Deinterleave give for that frame called in that order, with the extrinsic
%   values formed in double precision; frames share SIMD lanes and threads.
%
%   Log-likelihood ratios are ln(P(bit = 1) / P(bit = 0)): positive favours 1.
%
%   Arguments
%     ys, yp1, yp2  F x L channel values of the systematic bits and of the parity
%                   bits of the first and second encoder (0 where punctured).
%     ytail         F x 4*(K - 1) tail values: code bits 0 and 1 of each tail step
%                   of the first encoder, then those of the second.
%     g             2 x K generator matrix: the feedback polynomial, then the
%                   parity polynomial, read as TrellisCoder reads it.
%     alpha         1 x L permutation, 0-based: interleaved(k) = data(alpha(k)).
%     iterations    number of iterations, at least 1.
%     decoder_type  0: linear correction; 1: max-log; 2: constant correction;
%                   3: piecewise-linear correction; 4: exact log-MAP.
%     threads       threads to use (default 0: every core of the machine); the
%                   results do not depend on it.
%     early_stop    1: a frame stops after the first iteration whose hard decisions
%                   (app > 0) equal the previous iteration's; the name of a CRC as
%                   text ('24A', '24B', '24C', '16', '11', '8' or '6', as CrcAttach
%                   takes it): a frame stops after the first iteration whose hard
%                   decisions pass that CRC, their last L bits the parity bits of
%                   the others (an LTE code block of a segmented transport block
%                   ends in '24B', a transport block sent whole in '24A');
%                   0 (default): never.
%
%   Outputs
%     app             F x L a-posteriori values of the data bits after each frame's
%                     last iteration.
%     app_all         F x L x iterations values after every iteration (a frame
%                     that stopped early repeats its last values).
%     iterations_run  F x 1 iterations each frame ran.
%
%   Limits
%     ys, yp1, yp2 and ytail must not hold NaN or values beyond the
%     single-precision range (an infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     g = [1 0 1 1; 1 1 0 1];  alpha = WcdmaPermutation(40);
%     data = [1 0 1 1 0 0 1 0 1 1 1 0 0 0 1 0 1 0 1 1 0 1 1 0 0 1 0 0 1 1 1 1 0 1 0 0 1 0 1 0];
%     c1 = reshape(TrellisCoder(data, g, 0), 2, []);
%     c2 = reshape(TrellisCoder(Interleave(data, alpha), g, 0), 2, []);
%     llr = @(b) 3 * (2 * b - 1);
%     tail = llr([reshape(c1(:, 41:43), 1, []), reshape(c2(:, 41:43), 1, [])]);
%     app = TurboDecode(llr(data), llr(c1(2, 1:40)), llr(c2(2, 1:40)), tail, g, alpha, 4, 4);
%     isequal(app > 0, data == 1)   % returns 1
%     % A block that ends in its CRC stops once its decisions pass it:
%     block = CrcAttach(data(1:16), '24B');
%     c1 = reshape(TrellisCoder(block, g, 0), 2, []);
%     c2 = reshape(TrellisCoder(Interleave(block, alpha), g, 0), 2, []);
%     tail = llr([reshape(c1(:, 41:43), 1, []), reshape(c2(:, 41:43), 1, [])]);
%     [app, ~, runs] = TurboDecode(llr(block), llr(c1(2, 1:40)), llr(c2(2, 1:40)), tail, g, alpha, 8, 4, 0, '24B');
%     runs                          % returns 1
%
%   See also TrellisPosterior, WcdmaPermutation, Interleave, Deinterleave, CrcAttach.
