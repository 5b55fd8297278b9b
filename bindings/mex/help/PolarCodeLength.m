% PolarCodeLength  Length of the 5G polar code for K bits sent as E.
%
%   N = PolarCodeLength(K, E)
%   N = PolarCodeLength(K, E, link)
%
%   The mother code length N = 2^n of 3GPP TS 38.212 5.3.1: with c = ceil(log2(E)),
%   n1 = c - 1 where E <= (9/8) 2^(c-1) and K/E < 9/16, else c; n2 = ceil(log2(8K))
%   (code rate at least 1/8); n = max(min(n1, n2, n_max), 5), n_max = 9 for the
%   downlink and 10 for the uplink.
%
%   Arguments
%     K     information bits, CRC bits included: 1 or more.
%     E     bits sent: K to 2^20.
%     link  'downlink' (default, N up to 512) or 'uplink' (N up to 1024).
%
%   Outputs
%     N     the code length; K above it is refused.
%
%   Example
%     N = PolarCodeLength(64, 432)   % returns 512
%
%   See also PolarConstruct, PolarRateMatch, PolarRateRecover.
