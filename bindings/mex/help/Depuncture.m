% Depuncture  Rebuild the code matrix from received punctured soft values.
%
%   output = Depuncture(input, pun_pattern, tail_pattern)
%
%   Inverse of Puncture on soft values: reads the row INPUT in the order Puncture sent
%   the values and returns the e-row matrix the decoder expects, with 0 (no
%   information) where a value was not sent and the sum of the received copies where it
%   was sent several times. The number of columns follows from the length L of INPUT:
%   Q = floor((L - U)/S) whole periods of the pattern, then the fewest further pattern
%   columns that take the values left, then the T tail columns (U, S: sums of the tail
%   pattern and of the pattern). Columns at the end of the periodic part that sent
%   nothing cannot be seen, so with such a pattern the column count can differ from
%   that of Puncture's input: [1 0; 1 0] over 3 columns comes back as 4.
%
%   The values are copied and summed whatever their meaning; for the trellis decoders
%   they are log-likelihood ratios ln(P(1)/P(0)), in which 0 means no information.
%
%   Arguments
%     input         1 x L received values; must be a single row.
%     pun_pattern   e x P counts, as given to Puncture: truncated toward zero; must not
%                   be empty, hold negative counts or sum to 0.
%     tail_pattern  e x T counts of the tail, as given to Puncture, or [] for no tail.
%                   input must hold at least the U values the tail takes.
%
%   Output
%     output        e x (Q*P + K + T) matrix, K the further pattern columns. A length L
%                   that ends inside a pattern column is refused ("Incomplete column of
%                   puncturing pattern"). output(:).' is the step-major row the trellis
%                   decoders take.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     Depuncture([1 4 2 3 6], [1 1; 1 0], [])      % returns [1 2 3; 4 0 6]
%     Depuncture([1 1 3 2 2 4], [2; 1], [])        % copies summed: returns [2 4; 3 4]
%
%   See also Puncture, BitCountRestore, TrellisPosterior, TrellisBestPath.
