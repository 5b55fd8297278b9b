% SparseGraphDecode  Decode many blocks of a low-density parity-check code at once.
%
%   output = SparseGraphDecode(input, H_rows, H_cols)
%   [output, errors, iterations_run] = SparseGraphDecode(input, H_rows, H_cols, max_iter, dec_type, r_scale_factor, q_scale_factor, data, threads)
%
%   Decodes F received blocks of a binary LDPC code, one block per row of INPUT, with
%   the flooding sum-product or scaled min-sum decoder of SparseGraphSolve. Every row
%   runs exactly what SparseGraphSolve runs for that row alone, with the same early
%   stop: a row stops after its first iteration that gets every data bit right, while
%   the other rows run on. Row f of the outputs is, bit for bit, SparseGraphSolve's
%   result for row f: its decisions after its last iteration, its error counts and
%   the number of iterations it ran. Rows share SIMD lanes (16 on a processor with
%   AVX-512) and threads, so a call of many rows takes far less time than as many
%   calls of SparseGraphSolve; the results do not depend on the machine or the
%   thread count.
%
%   Log-likelihood ratios here are ln(P(bit = 1) / P(bit = 0)): positive favours 1,
%   as for the trellis decoders and the demappers, and the opposite of SparseGraphSolve
%   (row f of the outputs is SparseGraphSolve's for -input(f, :)). The code, the index matrices H_rows and H_cols and their layouts (full, staircase,
%   block staircase), the messages and the scale factors are those of
%   SparseGraphSolve; help SparseGraphSolve describes them.
%
%   Arguments
%     input           F x n received values, one block per row; n is the column
%                     count. Rounded to single precision. F may be 0.
%     H_rows          m x any index matrix of 1-based positions, as SparseGraphSolve
%                     takes it; m is the row count, at most n.
%     H_cols          e x any index matrix; e selects the layout.
%     max_iter        most iterations, default 30; truncated toward zero, 0 or more.
%     dec_type        1: min-sum; 2: refused; any other value (default 0): sum-product.
%                     Truncated toward zero.
%     r_scale_factor  multiplies every check-to-bit message, default 1.
%     q_scale_factor  multiplies every bit-to-check magnitude an iteration computes,
%                     default 1. Both factors are rounded to single precision and
%                     must be finite.
%     data            transmitted data bits, truncated toward zero, k = n - m columns:
%                     1 x k, the reference of every row, or F x k, one per row.
%                     Default: all 0, the all-zero codeword.
%     threads         threads to use (default 0: every core of the machine); the
%                     results do not depend on it.
%   The optional arguments may be left off from the end; of each scalar only the first
%   element is read.
%
%   Outputs
%     output          F x n: row f holds the decisions (0 or 1) of all n code bits of
%                     row f after its last iteration; all 0 when max_iter = 0.
%     errors          F x max_iter: errors(f, t) is the number of data bits of row f
%                     that differ from its reference after iteration t; 0 after its
%                     last iteration.
%     iterations_run  F x 1: the iterations row f ran, the first t with
%                     errors(f, t) = 0, or max_iter.
%
%   Limits
%     input must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more); data must not hold NaN.
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     H_rows = [1 2 0; 2 3 4; 1 3 0; 4 0 0];        % staircase code, k = 4, m = 4
%     H_cols = [1 3; 1 2; 2 3; 2 4];
%     data = [1 0 1 1];
%     c = ParityCheckCoder(data, H_rows);
%     L = 1.5 * (2 * c - 1);                       % a clean block
%     bad = L;  bad(1) = -bad(1);                  % bit 1 wrong
%     [output, errors, runs] = SparseGraphDecode([L; bad], H_rows, H_cols, 4, 0, 1, 1, data);
%     % runs = [1; 2], errors = [0 0 0 0; 1 0 0 0]
%     output(2, :)          % returns 1 0 1 1 1 1 1 0
%     % each row is what SparseGraphSolve gives for it alone:
%     [out2, err2] = SparseGraphSolve(-bad, H_rows, H_cols, 4, 0, 1, 1, data);
%     isequal(output(2, :), out2(2, :)) && isequal(errors(2, :), err2')   % returns 1
%
%   See also SparseGraphSolve, ParityCheckCoder.
