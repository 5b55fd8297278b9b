% Puncture  Send the values of a code matrix none, one or several times, by pattern.
%
%   output = Puncture(input, pun_pattern, tail_pattern)
%
%   Thins out, or repeats, the code-bit streams of an encoder by a periodic pattern of
%   counts. INPUT holds one stream per row and one trellis step per column; every value
%   is sent as many times in a row as its count says, and the values sent form one row,
%   taken column by column (all rows of the first step, then of the second, ...).
%   Column t of the periodic part uses pattern column mod(t - 1, P) + 1; the last T
%   columns of INPUT, the encoder's tail steps, use the tail pattern instead. Values
%   are copied, never inspected, so bits and soft values are treated alike. Depuncture
%   undoes it.
%
%   Arguments
%     input         e x N code matrix: row i is code bit i, column t step t.
%                   reshape(c, n, []) turns the step-major row c of TrellisCoder into
%                   this layout.
%     pun_pattern   e x P counts: 0 not sent, 1 sent once, k > 1 sent k times.
%                   Truncated toward zero (1.9 is 1, 0.5 is 0); must not be empty, hold
%                   negative counts or sum to 0.
%     tail_pattern  e x T counts for the last T columns of input (T <= N), or [] for no
%                   tail (any matrix with no columns). With e = 4 the tail goes out as
%                   the first two rows of every tail column, then the last two rows of
%                   every tail column; with any other e column by column.
%
%   Output
%     output        1 x L row, L = Q*S + S_R + U: Q whole periods of the pattern in
%                   the D = N - T data columns, S the sum of the pattern, S_R the sum
%                   of its first mod(D, P) columns, U the sum of the tail pattern.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     Puncture([1 2 3; 4 5 6], [1 1; 1 0], [])         % returns 1 4 2 3 6
%     % the same with a tail step sent in full:
%     Puncture([1 2 3 4; 5 6 7 8], [1 1; 1 0], [1; 1]) % returns 1 5 2 3 7 4 8
%     Puncture([1 2; 3 4], [2; 1], [])                 % returns 1 1 3 2 2 4
%
%   See also Depuncture, BitCountAdapt, TrellisCoder.
