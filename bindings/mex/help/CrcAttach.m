% CrcAttach  Append the parity bits of a 3GPP CRC to rows of data bits.
%
%   word = CrcAttach(data, name)
%
%   Appends to each of the F rows of DATA the L parity bits of the cyclic redundancy
%   check NAME of the LTE and NR standards (3GPP TS 36.212 5.1.1, TS 38.212 5.1). The
%   parity bits p_0..p_{L-1} are the coefficients, highest first, of the remainder of
%   a(D)*D^L divided by the generator g(D), where a(D) holds the row's bits with the
%   first as the highest power: a shift register that starts at zero and takes the
%   bits in order. Each row of WORD is divisible by g(D).
%
%     name    L   g(D)
%     '24A'   24  D^24+D^23+D^18+D^17+D^14+D^11+D^10+D^7+D^6+D^5+D^4+D^3+D+1
%     '24B'   24  D^24+D^23+D^6+D^5+D+1
%     '24C'   24  D^24+D^23+D^21+D^20+D^17+D^15+D^13+D^12+D^8+D^4+D^2+D+1
%     '16'    16  D^16+D^12+D^5+1
%     '11'    11  D^11+D^10+D^9+D^5+1
%     '8'      8  D^8+D^7+D^4+D^3+D+1
%     '6'      6  D^6+D^5+1
%
%   Arguments
%     data   F x A data bits, 0 or 1, of any numeric or logical class; A may be 0 and
%            F may be 0.
%     name   the CRC, as text: '24A', '24B', '24C', '16', '11', '8' or '6'.
%
%   Output
%     word   F x (A + L): each row of data followed by its L parity bits.
%
%   Limits
%     Values other than 0 and 1, NaN included, are refused, as are other names. A
%     call that would need more memory than the memory budget is refused before it
%     allocates anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget.
%
%   Example
%     bits = dec2bin(double("123456789"), 8)' - "0";   % nine bytes, highest bit first
%     word = CrcAttach(bits(:)', "16");
%     polyval(word(end-15:end), 2)                   % returns 12739
%     size(CrcAttach(zeros(3, 40), "24A"))           % returns 3 64
%
%   See also CrcCheck.
