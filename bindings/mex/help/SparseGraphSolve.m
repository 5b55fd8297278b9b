% SparseGraphSolve  Decode a low-density parity-check code by message passing.
%
%   output = SparseGraphSolve(input, H_rows, H_cols)
%   [output, errors] = SparseGraphSolve(input, H_rows, H_cols, max_iter, dec_type, r_scale_factor, q_scale_factor, data)
%
%   Decodes one received block of a binary LDPC code given by the positions of the ones
%   of its parity-check matrix H. Runs up to MAX_ITER flooding iterations (every check
%   from the messages of the previous iteration, then every bit) of the sum-product
%   decoder or of the scaled min-sum decoder, and returns the hard decisions of all n
%   code bits after each iteration with the number of data bits they get wrong. It is
%   made for simulation: DATA, the transmitted data bits, is the reference, and decoding
%   stops after the first iteration that gets every data bit right.
%
%   Log-likelihood ratios here are ln(P(bit = 0) / P(bit = 1)): positive favours 0,
%   the opposite of the trellis decoders and the demappers (negate their values). Bits
%   that were not sent take 0. The code is systematic with the data first: code bits
%   1..k are the data bits, k+1..n the parity bits, k = n - m.
%
%   H is given by two index matrices of 1-based positions; each row lists its positions
%   first and holds zeros after them (an empty cell before a listed one is refused):
%     H_rows  m rows, one per check: the columns of the ones of that row of H.
%     H_cols  e rows, one per explicit column of H: the rows of its ones.
%   The row count e of H_cols selects the layout:
%     e = n       full: the matrices describe all of H.
%     e = k       staircase: they describe the k data columns; the decoder adds the
%                 m x m dual-diagonal parity part, parity bit i (code bit k + i) with
%                 ones in checks i and i + 1, the last one in check m only.
%     k < e < n   block staircase, z = e - k: they describe the data columns and the
%                 first z parity columns; the decoder adds the others, parity bit i
%                 (i = z+1..m) with ones in checks i - z and i. z must divide m, with
%                 m/z >= 2, and each of the first z and the last z checks must list
%                 a position (in the staircase, check 1 must).
%   In the staircase layouts H_rows lists only the explicit columns, as ParityCheckCoder
%   takes it. Both matrices must describe the same H, each one once; the call refuses
%   them otherwise, naming the first disagreement.
%
%   Every bit first sends its channel value as its message q to each of its checks.
%   In an iteration each check sends each of its bits a message r: sum-product,
%   r = r_scale_factor * phi(sum of phi(|q|) over its other bits), q being held as
%   phi(|q|) and a sign, with phi(x) = ln((e^x + 1) / (e^x - 1)) = -ln(tanh(x/2)), its
%   own inverse (clipped to 10 below 9.08e-5 and to 0 above 10, tabulated coarsely on
%   (5, 10]); min-sum, r = r_scale_factor * the smallest |q| over its other bits (1000
%   from a check of one bit); either with the sign of the product of their signs. Each
%   bit then sums its channel value and its r messages into T, decides 1 where T < 0
%   (else 0), and sends each of its checks q = T - (that check's r), q_scale_factor
%   multiplying phi(|q|) (sum-product) or |q| (min-sum). Computation is in single
%   precision in a fixed order, so results are the same bit for bit on every run.
%
%   Arguments
%     input           1 x n received values; n is the column count. Rounded to single
%                     precision; NaN is refused.
%     H_rows          m x any index matrix, above; m is the row count, at most n.
%     H_cols          e x any index matrix, above. In both, a cell v > 0 names position
%                     fix(v) (values between 0 and 1 name 1) and must lie in 1..e
%                     (H_rows) or 1..m (H_cols); cells of 0, below 0 or NaN are empty.
%     max_iter        most iterations, default 30; truncated toward zero, 0 or more (a
%                     count whose output would not fit in memory is refused).
%     dec_type        1: min-sum; 2: refused; any other value (default 0): sum-product.
%                     Truncated toward zero.
%     r_scale_factor  multiplies every check-to-bit message, default 1. Below 1 it makes
%                     the min-sum decoder the normalised one.
%     q_scale_factor  multiplies every bit-to-check magnitude an iteration computes,
%                     default 1; the first messages, the channel values, are not
%                     scaled. Both factors are rounded to single precision and must be
%                     finite.
%     data            1 x k transmitted data bits, truncated toward zero; the column
%                     count must be k. Default: all 0, the all-zero codeword.
%   The optional arguments may be left off from the end; of each scalar only the first
%   element is read, and arguments after the eighth are ignored.
%
%   Outputs
%     output  max_iter x n: row t holds the decisions (0 or 1) of all n code bits after
%             iteration t. Rows after the last iteration run stay all 0.
%     errors  max_iter x 1: errors(t) is the number of data bits (1..k) of row t that
%             differ from data; 0 after the last iteration run. The last iteration run
%             is the first t with errors(t) = 0, or max_iter.
%   Only data bits decide the stop: parity bits of the last row may still be wrong.
%   With max_iter = 0 no iteration runs: output is 0 x n and errors 0 x 1.
%
%   Limits
%     input must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     H_rows = [1 2 0; 2 3 4; 1 3 0; 4 0 0];        % staircase code, k = 4, m = 4
%     H_cols = [1 3; 1 2; 2 3; 2 4];                % the checks of the data columns
%     data = [1 0 1 1];
%     c = ParityCheckCoder(data, H_rows)           % returns 1 0 1 1 1 1 1 0
%     L = 1.5 * (1 - 2 * c);  L(1) = -L(1);         % ln(P(0)/P(1)), bit 1 wrong
%     [output, errors] = SparseGraphSolve(L, H_rows, H_cols, 4, 0, 1, 1, data);
%     % errors = [1; 0; 0; 0]
%     output(1:2, :)        % returns [0 0 1 1 1 1 1 0; 1 0 1 1 1 1 1 0]
%     % the same code in the full layout, all 8 columns listed, decodes alike:
%     F_rows = [1 2 5 0 0; 2 3 4 5 6; 1 3 6 7 0; 4 7 8 0 0];
%     F_cols = [1 3; 1 2; 2 3; 2 4; 1 2; 2 3; 3 4; 4 0];
%     ref = SparseGraphSolve(L, F_rows, F_cols, 4, 0, 1, 1, data);
%     isequal(ref, output)                          % returns 1
%     % min-sum with check messages scaled by 0.8 needs one iteration here:
%     [~, errors] = SparseGraphSolve(L, H_rows, H_cols, 4, 1, 0.8, 1, data);
%     % errors = [0; 0; 0; 0]
%
%   See also ParityCheckCoder, GraphStateSetup, GraphStateStep, GraphStateCreate.
