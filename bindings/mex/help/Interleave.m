% Interleave  Put a row of values into interleaved order.
%
%   output = Interleave(input, alpha_code)
%
%   Permutes a block by a vector of 0-based indices: output(k) = input(alpha_code(k))
%   for k = 0..N-1, so entry k of the vector names the position in natural order of the
%   value that goes to position k. In Octave indexing that is input(alpha_code + 1).
%   Values are copied as doubles and never inspected: bits, code bits and soft values
%   are treated alike. Deinterleave with the same vector restores natural order; in a
%   turbo decoder, interleave the extrinsic values of the first decoder before the
%   second and deinterleave those of the second before the first.
%
%   Arguments
%     input       1 x N values; N is the column count (an N x 1 column is a block of
%                 one value) and only the real parts of the first N elements are read.
%     alpha_code  1 x N indices 0..N-1, as WcdmaPermutation, SpaceLinkPermutation and
%                 SpreadPermutation return them: pass them unshifted. Its column count
%                 must be N. Entries are truncated toward zero (1.99 is 1); an entry
%                 that does not then lie in 0..N-1, such as the N of a 1-based
%                 vector, is refused. A repeated index copies its value to every
%                 position naming it.
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
%     Interleave([10 20 30 40], [2 0 3 1])     % returns 30 10 40 20
%
%   See also Deinterleave, WcdmaPermutation, SpaceLinkPermutation, SpreadPermutation.
