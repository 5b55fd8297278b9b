% BitCountAdapt  Puncture a block to an exact number of bits (rate matching).
%
%   y = BitCountAdapt(x, X_i, e_ini, e_plus, e_minus)
%
%   Removes values of a block of X_i at evenly spread positions, chosen by the error
%   accumulator of the rate matching of 3GPP TS 25.212 in its puncturing form (no
%   value is repeated): e = e_ini; then for each position m = 1..X_i, e = e - e_minus,
%   and if e > 0 the value is kept, otherwise it is removed and e = e + e_plus. The kept
%   values are returned in order. Values are copied, never inspected, so bits and soft
%   values are treated alike. BitCountRestore undoes it.
%
%   To keep exactly Y of X_i values, take e_ini = X_i, e_plus = 2*X_i and
%   e_minus = 2*(X_i - Y).
%
%   Arguments
%     x        1 x X_i values: its column count must be X_i.
%     X_i      length of the block before rate matching.
%     e_ini    initial value of the accumulator.
%     e_plus   increment after a removal (0 or less can remove every later value).
%     e_minus  decrement at every position (0 with e_ini > 0 keeps every value).
%              All four scalars are truncated toward zero.
%
%   Output
%     y        1 x Y row of the kept values (1 x 0 when X_i is 0).
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     BitCountAdapt([1.5 2.5 3.5 4.5 5.5], 5, 5, 10, 4)    % returns 1.5 3.5 5.5
%     X = 10;  Y = 7;
%     numel(BitCountAdapt(1:X, X, X, 2 * X, 2 * (X - Y)))  % returns 7
%
%   See also BitCountRestore, Puncture.
