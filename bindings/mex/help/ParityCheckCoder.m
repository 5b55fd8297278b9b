% ParityCheckCoder  Encode data bits with a parity-check code of staircase parity part.
%
%   codeword = ParityCheckCoder(data, H_rows)
%   codeword = ParityCheckCoder(data, H_rows, P)
%
%   Systematic encoder of the low-density parity-check codes that SparseGraphSolve
%   decodes in its staircase and block-staircase layouts. The codeword is the k data
%   bits followed by m parity bits, one per row of the parity-check matrix H, found
%   check by check by back-substitution through the dual-diagonal parity part of H, so
%   no generator matrix is needed. H_rows describes the explicit columns of H; the
%   parity part is implied by the layout:
%     staircase (no P, or P with no rows): H = [A T], A the m x k data part and T the
%       m x m dual-diagonal part: parity bit i (code bit k + i) has ones in rows i and
%       i + 1, the last one in row m only. Then parity bit i = (exclusive-or of the
%       bits row i lists) XOR parity bit i - 1, parity bit 0 counting as 0.
%     block staircase (P is z x z, z > 0): H = [A B T], B the m x z first parity block
%       column, listed in H_rows as positions k+1..k+z, and T the other m - z parity
%       columns: parity bit i (i = z+1..m) has ones in rows i - z and i. The first z
%       parity bits are P * s (mod 2), s(t) the exclusive-or of the data bits listed in
%       rows t, t + z, t + 2z, ...; each later parity bit then follows from one row.
%   The codeword satisfies every check when P is the inverse over GF(2) of the sum of
%   the m/z blocks (z x z each) of B; P is used as given, without testing that.
%
%   Arguments
%     data      1 x k data bits, 0 and 1 (numeric or logical); k is the column count.
%               Other values, NaN among them, are refused.
%     H_rows    m x any matrix of 1-based positions, one row per check: row i lists
%               the columns of the ones of row i of H, data columns and, in the block
%               staircase, the columns k+1..k+z of the first parity block. The
%               dual-diagonal part is never listed. Every nonzero cell is a position,
%               truncated toward zero, in 1..k+m (other nonzero cells, such as -1 or
%               0.5, are refused); zero cells are skipped wherever they are.
%               The same matrix, zeros after each row's list, is SparseGraphSolve's
%               H_rows for the code.
%     P         z x z matrix of 0 and 1: entries are truncated toward zero and must
%               then be 0 or 1. Absent or with no rows: the staircase layout. P must be
%               square, and z must divide both k and m.
%
%   Output
%     codeword  1 x (k + m) row of 0 and 1: the data bits, then the m parity bits.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     ParityCheckCoder([1 0], [1 2; 2 0])               % returns 1 0 1 1
%     % staircase code, 4 data bits and 4 checks; rows list data columns only:
%     H_rows = [1 2 0; 2 3 4; 1 3 0; 4 0 0];
%     c = ParityCheckCoder([1 0 1 1], H_rows)          % returns 1 0 1 1 1 1 1 0
%     % block staircase, z = 2: rows 1 and 2 also list columns 6 and 5, so the
%     % blocks of B sum to [0 1; 1 0], which is its own inverse:
%     Hb = [1 2 6; 3 5 0; 1 4 0; 2 3 0];
%     ParityCheckCoder([1 0 1 1], Hb, [0 1; 1 0])       % returns 1 0 1 1 0 1 0 1
%
%   See also SparseGraphSolve, GraphStateSetup.
