% RelayFrequencyMetrics  Pair log-likelihoods of two FSK users received by a relay.
%
%   output = RelayFrequencyMetrics(input, EsNo, csi_flag, a1, a2, sqE1, sqE2, csi1switch)
%
%   Soft demodulator at the relay of a two-way relay channel with physical-layer network
%   coding, for M-ary orthogonal frequency-shift keying: both users send one tone in the
%   same symbol interval and the relay's bank of M matched filters sees their sum. For
%   every symbol it returns the log-likelihood of every pair (p, q): user one sent tone
%   p and user two tone q. When p = q both signals add on one tone. RelayLabelMetrics
%   turns the result into values of the bits of the exclusive-or of the two labels.
%
%   With Y(k) = |y(k)|^2 for tone output y(k) of the symbol, A1 and A2 the symbol's
%   fading coefficients, H = 1/EsNo and lnI0 a piecewise-quadratic approximation of
%   the log of the modified Bessel function of order zero:
%     csi_flag 1, p ~= q:  -EsNo*(|A1|^2 + |A2|^2) + lnI0(2*EsNo*|A1|*|y(p)|)
%                                                   + lnI0(2*EsNo*|A2|*|y(q)|)
%     csi_flag 1, p = q:   -EsNo*F + lnI0(2*EsNo*sqrt(F*Y(p))), where F = |A1 + A2|^2
%                          when csi1switch is 0, else F = |A1|^2 + |A2|^2
%     csi_flag 2, p ~= q:  E1*Y(p)/(H*(E1 + H)) + E2*Y(q)/(H*(E2 + H))
%                          - ln((1/E1 + EsNo)*(1/E2 + EsNo)/(E1*E2))
%     csi_flag 2, p = q:   (E1 + E2)*Y(p)/(H*(H + E1 + E2)) - ln(1 + EsNo*(E1 + E2))
%     any other csi_flag:  0
%
%   Arguments (all eight are needed; fewer give the usage message)
%     input       M x N matched-filter outputs, real or complex: column i holds the M
%                 tones of symbol i.
%     EsNo        linear (not dB) ratio of symbol energy to noise spectral density.
%     csi_flag    1: both users' fading coefficients are known; 2: only the energy
%                 parameters are known. 0 (full channel knowledge) is refused when
%                 N > 0; other values give zeros. Truncated toward zero.
%     a1, a2      1 x N complex fading coefficients of user one and user two, one per
%                 symbol, used by csi_flag 1 only. a1 must have N columns, a2 at least
%                 N elements.
%     sqE1, sqE2  energy parameters E1 and E2 of user one and user two, used as given
%                 (not squared) by csi_flag 2 only.
%     csi1switch  how csi_flag 1 combines two signals on one tone: 0 adds the fading
%                 coefficients, any other value adds their energies. Truncated toward
%                 zero.
%
%   Output
%     output      1 x M*M*N real row: the M*M values of symbol i follow those of
%                 symbol i - 1, and pair (p, q) (0-based) sits at offset p*M + q, so
%                 user one's tone is the slower index. Inputs and the Bessel
%                 approximation are in single precision.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     % symbol 1: user one on tone 0, user two on tone 1; symbol 2: both on tone 0
%     y = RelayFrequencyMetrics([1 2; 1 0], 2, 1, [1 1], [1 1], 1, 1, 0)
%     % y = [-1.9369 0.8430 0.8430 -1.9369 5.7019 2.0620 2.0620 -8.0011]
%     RelayLabelMetrics(y, 2, 4)      % exclusive-or 1, then 0: returns 2.7799 -2.9468
%
%   See also RelayLabelMetrics, ToneMetrics.
