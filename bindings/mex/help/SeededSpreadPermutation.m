% SeededSpreadPermutation  Spread (S-random) interleaver drawn from a given seed.
%
%   alpha = SeededSpreadPermutation(Length, S, seed)
%
%   Returns the permutation that SpreadPermutation(Length, S) returns in a freshly
%   loaded module whose clock seed is seed, from a generator of its own: the result
%   depends on the three arguments alone, so a simulation can draw its interleaver
%   from its own seed and be repeated exactly. SpreadPermutation's stream is not
%   touched.
%
%   Arguments (all three are needed)
%     Length  block length, truncated toward zero (0 gives a 1 x 0 row; 1 is refused);
%             limited by the memory budget only (20 bytes per position).
%     S       spread, as for SpreadPermutation.
%     seed    1..2147483562, truncated toward zero; SpreadPermutation's clock seeds
%             are 1..185.
%
%   Output
%     alpha   1 x Length permutation of 0..Length-1, 0-based: interleaved(k) =
%             data(alpha(k)), which in Octave indexing is data(alpha + 1).
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     a = SeededSpreadPermutation(100, 5, 7);
%     isequal(a, SeededSpreadPermutation(100, 5, 7))   % returns 1
%     min(abs(diff(a))) >= 5                           % returns 1
%
%   See also SpreadPermutation, Interleave, Deinterleave.
