% ToneMetrics  Symbol log-likelihoods of M-ary orthogonal frequency-shift keying.
%
%   output = ToneMetrics(input, EsNo)
%   output = ToneMetrics(input, EsNo, csi_flag, fade_coef)
%
%   Soft demodulator for M-ary orthogonal FSK. From the outputs of a bank of M matched
%   filters, one per tone, it returns for every symbol and every tone a log-likelihood
%   that the tone was sent, under one of three receiver models. With y = y(k, i) the
%   output of tone k in symbol i and a = a_i the fading coefficient of symbol i:
%     csi_flag 0  fading coefficient known (coherent):  2*EsNo*real(conj(a)*y)
%     csi_flag 1  fading amplitude known (noncoherent): ln I0(2*EsNo*|a|*|y|)
%     csi_flag 2  no channel knowledge (noncoherent):   |y|^2 * EsNo^2/(EsNo + 1)
%     any other   0
%   ln I0, the log of the modified Bessel function of order zero, is replaced by a
%   piecewise quadratic in five pieces: within 0.07 of it up to an argument of 60, but
%   its last piece, a straight line, falls behind beyond (by 0.3 at 100, 1.3 at 200).
%   Everything is computed in single precision.
%
%   The result is a symbol log-likelihood matrix: row k belongs to tone k, which
%   carries label k (bits most significant first), so SymbolBitMetrics and Capacity
%   take it directly. Only differences within a column matter.
%
%   Arguments
%     input      M x N matched-filter outputs, real or complex: column i holds the M
%                tones of symbol i.
%     EsNo       linear (not dB) ratio of symbol energy to noise spectral density.
%     csi_flag   receiver model 0, 1 or 2 as above (default 0), truncated toward
%                zero; other values are not refused and give zeros.
%     fade_coef  1 x N complex fading coefficients a_i, one per symbol; its column
%                count must be N. All 1 when omitted. csi_flag 1 uses only their
%                magnitudes, csi_flag 2 ignores them.
%
%   Output
%     output     M x N real matrix of log-likelihoods.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     y = [0.1 1.2; 0.9 -0.2];      % binary FSK: tone 1, then tone 0 was sent
%     L = ToneMetrics(y, 2)
%     % L = [0.4 4.8; 3.6 -0.8]
%     SymbolBitMetrics(L)           % returns 3.2 -5.6
%     ToneMetrics(1, 0.5, 1)        % ln I0(1) is 0.2359: returns 0.2342
%
%   See also SymbolBitMetrics, Capacity, RelayFrequencyMetrics, PlaneMetrics.
