% PolarDecode  Decode rows of log-likelihood ratios of a 5G polar code.
%
%   data = PolarDecode(llr, K, N, L, crc, threads)
%   data = PolarDecode(llr, K, N, L, crc, threads, E)
%
%   Decodes F frames, one per row of LLR, of the length-N polar code whose K
%   information bits sit at PolarConstruct(K, N), and returns the K decided bits of
%   each frame (CRC bits included), in the order of the positions. With E, the code
%   is the one rate matched to E bits, its K bits at PolarConstruct(K, N, E), and LLR
%   the rows of PolarRateRecover.
%
%   L = 1 is successive cancellation. L = 2 to 32 is successive-cancellation list
%   decoding: at every information bit each of up to L paths is extended by 0 and by 1
%   and the L of least path metric are kept. The decoder works with the min-sum
%   updates f(a, b) = sign(a) sign(b) min(|a|, |b|) and g(a, b, u) = b + (1 - 2u) a on
%   ln(P(0)/P(1)), and a path's metric grows by |lambda| for each bit it decides against
%   the sign of that bit's value lambda. With a CRC name, the last bits of the K are
%   that CRC's parity bits (CrcAttach) and the decoder returns the path of least metric
%   whose CRC holds, or the path of least metric when none does.
%
%   Successive cancellation decodes 16 frames at a time in the SIMD lanes of an
%   AVX-512 processor (8 with AVX2), the list decoder one frame at a time with the
%   values of its longer nodes in the lanes; both spread the frames over the threads.
%   The bits are the same whatever the processor and the thread count.
%
%   Arguments
%     llr      F x N log-likelihood ratios ln(P(1)/P(0)): positive favours 1. F may be
%              0. Any numeric class; NaN and values beyond single precision are refused.
%     K        information bits, 1 to N.
%     N        code length: a power of two from 32 to 1024.
%     L        list size: 1 (default), 2, 4, 8, 16 or 32.
%     crc      '' (default: none) or a CRC name: '24A', '24B', '24C', '16', '11', '8',
%              '6'; K must exceed its parity bits.
%     threads  threads to decode on: 0 (default) for every core, up to 1024.
%     E        bits sent, K to 2^20, for a rate-matched code (optional). L, crc and
%              threads may be [] for their defaults.
%
%   Outputs
%     data     F x K decided bits.
%
%   Limits
%     A call that would need more memory than the memory budget (2 GiB, or a quarter of
%     the physical memory where that is less) is refused before it allocates anything;
%     setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget. Ctrl-C stops a call.
%
%   Example
%     llr = 4 * (2 * PolarEncode([1 0 1 1], 32) - 1);
%     d = PolarDecode(llr, 4, 32, 8)   % returns 1 0 1 1
%
%   See also PolarConstruct, PolarEncode, PolarRateRecover, CrcAttach.
