% Capacity  Constellation-constrained capacity estimated from likelihoods of known data.
%
%   output = Capacity(input, data)
%
%   Monte-Carlo estimate of the mutual information between the input and the output of
%   a simulated channel: send known random bits, demodulate, and pass the likelihoods
%   together with the bits that were sent. Each symbol j contributes the term
%       t(j) = ln(sum over all labels l of exp(L(l, j) - L(g, j))),
%   g being the label sent (t(j) is 0 when the likelihoods put all weight on g), and
%       output = 1 - mean(t) / ln(M),
%   so that 1 is the maximum: the capacity in bits per symbol divided by log2(M). The
%   binary form, for one log-likelihood ratio per bit, is the same with M = 2:
%   t(j) = ln(1 + exp(-L(j))) when bit j is 1, ln(1 + exp(L(j))) when it is 0.
%
%   Arguments
%     input  1 x N bit log-likelihood ratios ln(P(1)/P(0)), positive favouring 1
%            (binary form), or an M x N symbol log-likelihood matrix with M >= 2, row l
%            belonging to label l, as PlaneMetrics and ToneMetrics return it (symbol
%            form).
%     data   the bits that were sent, a single row. Binary form: N bits, a value
%            above 0 counting as 1. Symbol form: m*N bits of 0 and 1, m =
%            floor(log2(M)); bits j*m .. j*m + m - 1 (0-based) are the label of
%            symbol j, most significant first, as Modulate groups them. Data whose
%            labels fall outside 0..M-1 are refused.
%
%   Output
%     output  the estimate, a scalar. Each term is formed in single precision with the
%             exact Jacobian logarithm, the sum in double precision. For M not a power
%             of two, only labels 0..2^m - 1 are sent and the scale is still ln(M).
%
%   Limits
%     input must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     Capacity([10 -10], [1 0])                % returns 0.9999
%     Capacity(zeros(4, 2), [0 1 1 0])         % no information: returns 0
%     % QPSK at Es/N0 = 2 over 1000 symbols of random data
%     qpsk = [1+1i; -1+1i; 1-1i; -1-1i] / sqrt(2);
%     bits = double(rand(1, 2000) > 0.5);
%     noise = (randn(1, 1000) + 1i * randn(1, 1000)) / sqrt(2 * 2);
%     L = PlaneMetrics(Modulate(bits, qpsk) + noise, qpsk, 2);
%     Capacity(L, bits)                        % about 0.72 (1.44 bits per symbol)
%
%   See also PlaneMetrics, ToneMetrics, Modulate, InfoRateTable.
