% InfoRateTable  Capacity of faded channels read from a table of the unfaded channel.
%
%   cap = InfoRateTable(EsNo_AWGN, capacity_AWGN, slope, gamma)
%
%   Looks every signal-to-noise ratio of GAMMA up in a table of the capacity of the
%   unfaded (additive white Gaussian noise) channel and adds the capacities along each
%   row. A capacity curve tabulated once, with Capacity for instance, thus gives the
%   capacity of channels where every symbol, block or sub-channel sees its own ratio,
%   without further simulation. With the table E = EsNo_AWGN, C = capacity_AWGN of T
%   points, a ratio r is looked up as
%       r >= E(T):              C(T)   (the table saturates)
%       E(k) < r <= E(k+1):     C(k) + (r - E(k)) * slope(k)
%       otherwise (r <= E(1)):  0      (zero, not C(1); NaN also gives 0)
%
%   Arguments
%     EsNo_AWGN      1 x T ratios of the table, increasing, in the unit of gamma (dB or
%                    linear: the module only compares them). Not checked for order.
%     capacity_AWGN  1 x T capacities at those ratios; must have T columns.
%     slope          1 x (T-1) slopes: slope(k) applies between E(k) and E(k+1), and
%                    diff(C) ./ diff(E) gives linear interpolation. Must have T - 1
%                    columns, so an empty table is refused.
%     gamma          R x K ratios: row i holds the K ratios whose capacities make up
%                    cap(i).
%
%   Output
%     cap            R x 1 column of sums (not means: divide by K for the mean).
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     E = [0 10];  C = [0 1];  slope = diff(C) ./ diff(E);
%     InfoRateTable(E, C, slope, [5; 10; 20; -3])   % returns [0.5; 1; 1; 0]
%     InfoRateTable(E, C, slope, [5 20]) / 2        % mean of two blocks: returns 0.75
%
%   See also Capacity.
