% Modulate  Map bits onto the points of a signal set.
%
%   output = Modulate(input, S_matrix)
%
%   Cuts the bit row INPUT into groups of m = floor(log2(M)) bits, reads each group as
%   a label, first bit most significant, and emits the point of that label: point l is
%   the (l+1)-th point of S_MATRIX. The labelling is thus simply the order of the
%   points, and any real or complex, one- or multi-dimensional signal set with any
%   labelling can be used; the points are copied unchanged (no normalisation). When
%   the row length is not a multiple of m, the last group is padded with 0 bits at its
%   least significant end.
%
%   Arguments
%     input     1 x K bits; only the first K elements are read, K being the column
%               count. Each value is truncated toward zero and must then be 0 or 1
%               (0.9 gives 0, 1.7 gives 1); other values and NaN are refused.
%     S_matrix  the M signal points (M >= 2), real or complex. An M x 1 column or a
%               1 x M row holds M one-dimensional points; a D x M matrix holds M
%               points of dimension D, one per column. Only points 0 .. 2^m - 1 are
%               reachable: all of them when M is a power of two.
%
%   Output
%     output    D x ceil(K/m) complex matrix: column j is the point of symbol j.
%               Octave shows a complex result whose imaginary parts are all 0 as
%               real.
%
%   Row k of the symbol log-likelihood matrix of PlaneMetrics and ToneMetrics belongs
%   to label k, so SymbolBitMetrics returns bit values in the order Modulate took the
%   bits.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     qpsk = [1+1i; -1+1i; 1-1i; -1-1i];   % labels 00, 01, 10, 11
%     Modulate([0 1 1 1], qpsk)             % returns [-1+1i, -1-1i]
%     Modulate([1 0 1 1 1], [-3 -1 1 3])    % last group padded: returns 1 3 1
%
%   See also PlaneMetrics, SymbolBitMetrics, Capacity.
