% SpreadPermutation  Pseudo-random spread (S-random) interleaver.
%
%   alpha = SpreadPermutation(Length, S)
%
%   Returns a random permutation of 0..Length-1 in which values placed close together
%   lie far apart: values at positions less than S apart differ by at least S. It starts
%   from a row-column permutation (the residues modulo floor(sqrt(Length)) one after
%   the other, each in increasing order) and makes 10*Length random transpositions,
%   each accepted only when both values it moves differ by at least S from every value
%   within S positions of their new places.
%
%   The random numbers come from L'Ecuyer's combined generator with a Bays-Durham
%   shuffle. It is seeded at the first draw after the module is loaded, from the local
%   time (month + day + hour + minute + second: fewer than 200 seeds); later calls
%   continue the same stream, and after clear SpreadPermutation the next call seeds
%   again. Keep a permutation that must be reused rather than draw it again, or draw
%   it with SeededSpreadPermutation, which takes the seed as an argument. A call
%   stopped by Ctrl-C leaves the stream wherever its draws had taken it.
%
%   Arguments (both are needed)
%     Length  block length, truncated toward zero (0 gives a 1 x 0 row; 1 is
%             refused); limited by the memory budget only (20 bytes per position).
%     S       spread, truncated toward zero; S <= 0 gives 10*Length unconstrained
%             random transpositions. S must be below Length - 1. The largest S this
%             construction reaches is about sqrt(Length/2) for long blocks (8 for
%             Length 100, 21 for 1000, 47 for 5114) and less for short ones; beyond
%             it the module gives up with an error after 10000 draws per
%             transposition needed (at most 2^29 draws, or 1000*Length for
%             longer blocks: seconds to minutes).
%
%   Output
%     alpha   1 x Length permutation of 0..Length-1, 0-based: interleaved(k) =
%             data(alpha(k)), which in Octave indexing is data(alpha + 1). Pass it
%             unchanged to Interleave and Deinterleave.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     alpha = SpreadPermutation(100, 5);
%     isequal(sort(alpha), 0:99)          % returns 1
%     min(abs(diff(alpha))) >= 5          % neighbours lie apart: returns 1
%
%   See also SeededSpreadPermutation, Interleave, Deinterleave, WcdmaPermutation.
