% RelayLabelMetrics  Bit values of the exclusive-or of two users' labels at a relay.
%
%   bit_llr = RelayLabelMetrics(sym_log_likelihood, mod_order)
%   bit_llr = RelayLabelMetrics(sym_log_likelihood, mod_order, demod_type, extrinsic_info)
%
%   Soft demapper of a two-way relay with physical-layer network coding: the relay
%   wants the bits of the network-coded label p XOR q (bitwise exclusive-or of user
%   one's label p and user two's label q), not either user's own bits. From the
%   log-likelihoods V(p, q) of all M*M pairs of a symbol it returns, for bit k of the
%   exclusive-or label,
%       max*(V(p, q) + A(p XOR q), pairs whose exclusive-or has bit k set)
%     - max*(V(p, q) + A(p XOR q), pairs whose exclusive-or has bit k clear)
%   where max* is the Jacobian logarithm ln(e^a + e^b), or the approximation of it that
%   DEMOD_TYPE chooses, and A is the sum of the a-priori values of the other bits the
%   exclusive-or label sets to 1: as in SymbolBitMetrics, a bit's own a-priori value
%   never reaches its output.
%
%   Log-likelihood ratios are ln(P(bit = 1) / P(bit = 0)): positive favours 1. The bits
%   of a label are read most significant first.
%
%   Arguments
%     sym_log_likelihood  1 x C row of pair log-likelihoods, M*M per symbol, as
%                         RelayFrequencyMetrics returns them: pair (p, q) of symbol i
%                         at element i*M*M + p*M + q (0-based). N = floor(C/(M*M))
%                         symbols are used; values after the last whole symbol are
%                         ignored.
%     mod_order           M, the number of labels per user, a power of two; truncated
%                         toward zero, below 1 refused. M = 1 gives an empty row; for
%                         other M only the low floor(log2(M)) bits are demapped.
%     demod_type          0..4 (default 0): 1 max-log, 4 exact log-MAP, 0, 2, 3
%                         approximations (see TrellisPosterior); others are refused.
%     extrinsic_info      a-priori log-likelihood ratios of the network-coded bits,
%                         laid out as the output; its column count n may be 0 to m*N,
%                         the values after the first n count as 0.
%
%   Output
%     bit_llr             1 x m*N row, m = floor(log2(M)): element i*m + k (0-based)
%                         is bit k of the exclusive-or label of symbol i. Computed in
%                         single precision.
%
%   Limits
%     sym_log_likelihood and extrinsic_info must not hold NaN or values beyond the
%     single-precision range (an infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     % pairs (0,0) (0,1) (1,0) (1,1) of 2 labels: the users' bits most likely differ
%     RelayLabelMetrics([0 5 5 0], 2, 1)                   % returns 5
%     % a second symbol without information, a-priori 3 for its bit: still 0
%     RelayLabelMetrics([0 5 5 0 0 0 0 0], 2, 1, [0 3])    % returns 5 0
%
%   See also RelayFrequencyMetrics, SymbolBitMetrics.
