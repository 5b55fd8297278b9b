% SymbolBitMetrics  Bit log-likelihood ratios from symbol log-likelihoods.
%
%   output = SymbolBitMetrics(input)
%   output = SymbolBitMetrics(input, demod_type, extrinsic_info)
%
%   Turns a symbol log-likelihood matrix, as PlaneMetrics or ToneMetrics return it, into
%   one log-likelihood ratio per bit. For bit k of symbol j it returns
%       max*(L(l, j) + A(l), labels l whose bit k is 1)
%     - max*(L(l, j) + A(l), labels l whose bit k is 0)
%   where max* is the Jacobian logarithm ln(e^a + e^b), or the approximation of it that
%   DEMOD_TYPE chooses, and A(l) is the sum of the a-priori values of the other bits
%   that label l sets to 1. A bit's own a-priori value never reaches its output,
%   so with a-priori values from a decoder the output is extrinsic, as iterative
%   demapping and decoding needs; without them it is the a-posteriori ratio of each
%   bit given its symbol.
%
%   Log-likelihood ratios are ln(P(bit = 1) / P(bit = 0)): positive favours 1. The bits
%   of a label are read most significant first, as Modulate groups them.
%
%   Arguments
%     input           M x N symbol log-likelihood matrix: row l belongs to label l,
%                     column j to symbol j. M must be a power of two (M = 1 gives an
%                     empty row).
%     demod_type      0..4 (default 0), truncated toward zero: 1 max-log, 4 exact
%                     log-MAP, 0, 2, 3 approximations (see TrellisPosterior); other
%                     values are refused.
%     extrinsic_info  a-priori log-likelihood ratios of the bits, laid out as the
%                     output; its column count n may be 0 to m*N, the values after the
%                     first n count as 0.
%
%   Output
%     output          1 x m*N row, m = log2(M): element j*m + k (0-based) is bit k of
%                     symbol j, so the bits come out in the order Modulate took them.
%
%   Computation is in single precision; the sums start from -1000000 rather than minus
%   infinity, so metrics far below that do not count.
%
%   Limits
%     input and extrinsic_info must not hold NaN or values beyond the single-
%     precision range (an infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     qpsk = [1+1i; -1+1i; 1-1i; -1-1i];   % labels 00, 01, 10, 11
%     L = PlaneMetrics(Modulate([0 1 1 1], qpsk), qpsk, 1);
%     SymbolBitMetrics(L, 1)                % returns -4 4 4 4
%     % bit 1's a-priori value changes bit 0's output, not its own:
%     SymbolBitMetrics([0; 0; 5; 0], 1, [0 4])    % returns 1 -5
%
%   See also PlaneMetrics, ToneMetrics, Modulate, RelayLabelMetrics, Capacity.
