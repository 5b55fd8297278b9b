% BitCountRestore  Undo BitCountAdapt on received soft values.
%
%   y = BitCountRestore(x, X_i, e_ini, e_plus, e_minus)
%
%   Puts the received values back at the positions BitCountAdapt kept from a block of
%   X_i with the same scalars, and 0 (no information) at the removed positions. The
%   positions follow the same error accumulator: e = e_ini; then for each position
%   m = 1..X_i, e = e - e_minus, and if e > 0 position m was kept, otherwise it was
%   removed and e = e + e_plus.
%
%   Arguments
%     x        1 x Y received values, Y being the number of positions kept (any other
%              column count is refused).
%     X_i      length of the block before rate matching, not negative.
%     e_ini    initial value of the accumulator.
%     e_plus   increment after a removal.
%     e_minus  decrement at every position.
%              All four scalars are truncated toward zero.
%
%   Output
%     y        1 x X_i row: the values of x at the kept positions, in order, and 0 at
%              the removed ones.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     BitCountRestore([1.5 3.5 5.5], 5, 5, 10, 4)    % returns 1.5 0 3.5 0 5.5
%     x = randn(1, 10);
%     y = BitCountRestore(BitCountAdapt(x, 10, 10, 20, 6), 10, 10, 20, 6);
%     isequal(y ~= 0, [1 0 1 1 0 1 1 1 0 1])        % removed positions: returns 1
%
%   See also BitCountAdapt, Depuncture.
