% Deinterleave  Put a row of interleaved values back into natural order.
%
%   output = Deinterleave(input, alpha_code)
%
%   Inverse of Interleave with the same vector of 0-based indices: output(alpha_code(k))
%   = input(k) for k = 0..N-1, in increasing k. In Octave indexing that is
%   output(alpha_code + 1) = input. For a permutation vector,
%   Deinterleave(Interleave(x, alpha_code), alpha_code) is x again. Values are copied
%   as doubles and never inspected: bits, code bits and soft values are treated alike.
%
%   Arguments
%     input       1 x N values in interleaved order; N is the column count (an N x 1
%                 column is a block of one value) and only the real parts of the first
%                 N elements are read.
%     alpha_code  1 x N indices 0..N-1, as WcdmaPermutation, SpaceLinkPermutation and
%                 SpreadPermutation return them: pass them unshifted. Its column count
%                 must be N. Entries are truncated toward zero (1.99 is 1); an entry
%                 that does not then lie in 0..N-1, such as the N of a 1-based
%                 vector, is refused. With repeated indices, a position no entry names
%                 stays 0 and a position named twice keeps the later value.
%
%   Output
%     output      1 x N row.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     Deinterleave([30 10 40 20], [2 0 3 1])   % returns 10 20 30 40
%     alpha = WcdmaPermutation(40);  x = randn(1, 40);
%     isequal(Deinterleave(Interleave(x, alpha), alpha), x)   % returns 1
%
%   See also Interleave, WcdmaPermutation, SpaceLinkPermutation, SpreadPermutation.
