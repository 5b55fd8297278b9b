% PlaneMetrics  Symbol log-likelihoods for a signal set in the complex plane.
%
%   output = PlaneMetrics(input, S_matrix, EsNo)
%   output = PlaneMetrics(input, S_matrix, EsNo, fade_coef)
%
%   Soft demodulator for any signal set of complex points. For every received sample
%   y_i and every point s_k it returns
%       output(k, i) = -EsNo * |y_i - a_i*s_k|^2,
%   minus EsNo times the squared distance between the sample and the faded point: for a
%   set of unit average energy and complex noise of variance 1/EsNo per sample, the
%   natural log of the likelihood of point k up to a term that is the same for every
%   point. The distances are computed in double precision.
%
%   The result is a symbol log-likelihood matrix: one row per point, one column per
%   sample; row k belongs to the point of label k, whose bits, most significant first,
%   are the m = log2(M) bits Modulate grouped into that symbol. Only differences within
%   a column matter; larger means more likely. SymbolBitMetrics and Capacity take it.
%
%   Arguments
%     input      1 x N received samples, real or complex; only the first N elements
%                are read, N being the column count.
%     S_matrix   the M signal points as an M x 1 column or a 1 x M row, real or
%                complex, used as given (no normalisation, M need not be a power of
%                two); any other shape is refused.
%     EsNo       linear (not dB) ratio of symbol energy to noise spectral density,
%                rounded to single precision. 0 gives all zeros.
%     fade_coef  1 x N complex fading coefficients a_i, one per sample; its column
%                count must be N. All 1 when omitted.
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
%     PlaneMetrics(0.5, [1; -1], 1)          % returns [-0.25; -2.25]
%     % with a = 1i the second sample is as far from i as from -i:
%     L = PlaneMetrics([0.5 -0.8], [1 -1], 2, [1 1i]);
%     % L = [-0.5 -3.28; -4.5 -3.28]
%
%   See also Modulate, SymbolBitMetrics, Capacity, ToneMetrics.
