% SoftDemap  Bit log-likelihood ratios of many frames of received samples at once.
%
%   output = SoftDemap(input, S_matrix, EsNo)
%   output = SoftDemap(input, S_matrix, EsNo, demod_type, extrinsic_info, fade_coef, threads)
%
%   Demaps F frames of N samples, one per row of INPUT, against a signal set in the
%   complex plane, as PlaneMetrics followed by SymbolBitMetrics demaps one: row f of
%   the output is, bit for bit,
%     SymbolBitMetrics(PlaneMetrics(input(f, :), S_matrix, EsNo, fade_coef(f, :)), ...
%                      demod_type, extrinsic_info(f, :))
%   Symbols share SIMD lanes (16 on a processor with AVX-512) and threads, and no
%   M x N metric matrix is formed, so one call of many rows takes far less time than
%   the two modules row by row; the results do not depend on the machine or the
%   thread count.
%
%   Log-likelihood ratios are ln(P(bit = 1) / P(bit = 0)): positive favours 1. The bits
%   of a label are read most significant first, as Modulate groups them.
%
%   Arguments
%     input           F x N received samples, real or complex. F may be 0.
%     S_matrix        the M signal points (a row or a column), point l carrying label
%                     l; M must be a power of two (M = 1 gives no bits).
%     EsNo            linear Es/N0 (not dB), positive; the metrics are
%                     -EsNo * |y - a*s|^2, EsNo rounded to single precision.
%     demod_type      0..4 (default 0), truncated toward zero: 1 max-log, 4 exact
%                     log-MAP, 0, 2, 3 approximations (see TrellisPosterior).
%     extrinsic_info  F x m*N a-priori log-likelihood ratios laid out as the output,
%                     or [] (default) for none.
%     fade_coef       F x N complex fading coefficients a, or [] (default) for all 1.
%     threads         threads to use (default 0: every core of the machine).
%
%   Output
%     output          F x m*N, m = log2(M): column j*m + k (0-based) of row f is bit k
%                     of symbol j of frame f.
%
%   Limits
%     input, S_matrix and fade_coef must not hold NaN, nor extrinsic_info NaN or
%     values beyond the single-precision range; metrics beyond that range (from huge
%     samples, points or EsNo) are refused.
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     qpsk = [1+1i; -1+1i; 1-1i; -1-1i];   % labels 00, 01, 10, 11
%     y = [Modulate([0 1 1 1], qpsk); Modulate([1 0 0 0], qpsk)];
%     SoftDemap(y, qpsk, 1, 1)              % returns [-4 4 4 4; 4 -4 -4 -4]
%
%   See also PlaneMetrics, SymbolBitMetrics, Modulate.
