% NrLdpcDecode  Decode many frames of a 5G NR LDPC code at once (layered decoder).
%
%   bits = NrLdpcDecode(llr, bg, Z)
%   [bits, app, iterations] = NrLdpcDecode(llr, bg, Z, max_iterations, algorithm, scale_or_offset, threads)
%
%   Decodes F frames, one per row of LLR, of the LDPC code of NR base graph BG lifted by
%   Z (help NrLdpcEncode describes the code). Each row holds the log-likelihood ratios
%   ln(P(bit = 1) / P(bit = 0)) of all 68*Z (bg = 1) or 52*Z (bg = 2) code bits,
%   positive favouring 1, with 0 for every bit not received (the first 2Z bits, and
%   whatever rate matching left out).
%
%   The schedule is layered: an iteration updates the rows of the base graph in order,
%   and within a row its Z lifted checks, each of which reads the bits' current
%   a-posteriori values minus its own previous messages, forms new messages and adds
%   them back at once. Before every iteration a row whose hard decisions satisfy every
%   parity check of H stops, while the other rows run on; a row whose received values
%   already satisfy H runs no iteration. Values are single precision and the
%   a-posteriori values are held within +-2^20.
%
%   Rows share SIMD lanes (16 on a processor with AVX-512) and threads; each row's
%   results are, bit for bit, those of the library's one-frame reference decoder for
%   it, whatever the processor or the thread count.
%
%   Arguments
%     llr              F x 68*Z or F x 52*Z log-likelihood ratios, one frame per row;
%                      rounded to single precision. F may be 0.
%     bg               base graph: 1 or 2.
%     Z                lifting size, one of the 51 of the standard (see NrLdpcEncode).
%     max_iterations   most iterations, default 25; 0 or more (0: the decisions of
%                      llr itself).
%     algorithm        the check update, a name or its number (default 'sum-product'):
%                        'sum-product' (0)         exact: pairwise boxplus with the
%                                                  log-MAP max-star (Jacobian logarithm)
%                        'min-sum' (1)             smallest other magnitude
%                        'normalized-min-sum' (2)  smallest other magnitude times scale
%                        'offset-min-sum' (3)      smallest other magnitude minus offset,
%                                                  never below 0
%     scale_or_offset  the scale of 'normalized-min-sum' (default 0.75; positive) or
%                      the offset of 'offset-min-sum' (default 0.5; 0 or more);
%                      rounded to single precision; ignored by the other algorithms;
%                      [] for the default.
%     threads          threads to use (default 0: every core); the results do not
%                      depend on it.
%   The optional arguments may be left off from the end; of each scalar only the first
%   element is read; counts and sizes are truncated toward zero.
%
%   Outputs
%     bits        F x 68*Z or F x 52*Z hard decisions (1 where the a-posteriori value
%                 is positive) of the whole codeword, data bits first.
%     app         F x 68*Z or F x 52*Z a-posteriori log-likelihood ratios.
%     iterations  F x 1: the iterations row f ran (max_iterations where its checks
%                 never all held).
%
%   Limits
%     llr must not hold NaN or values beyond the single-precision range (an infinity
%     or a magnitude of 3.4e38 or more). A call that would need more memory than the
%     memory budget (2 GiB, or a quarter of the physical memory where that is less) is
%     refused before it allocates anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G")
%     raises the budget, as does the environment variable. Ctrl-C stops a long call at
%     once.
%
%   Example
%     data = [1 0 1 1 0 0 1 0 1 0 zeros(1, 10)];   % base graph 2, Z = 2
%     c = NrLdpcEncode(data, 2, 2);
%     llr = 2 * (2 * c - 1);
%     llr(1:4) = 0;                                % the 2Z bits not sent
%     llr(30) = -llr(30);                          % and one received bit wrong
%     [bits, app, iterations] = NrLdpcDecode([llr; 2 * (2 * c - 1)], 2, 2, 10, 'min-sum');
%     isequal(bits, [c; c])       % returns 1
%     iterations'                 % returns 2 0
%
%   See also NrLdpcEncode.
