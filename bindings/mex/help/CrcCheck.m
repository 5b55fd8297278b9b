% CrcCheck  Strip and check the parity bits of a 3GPP CRC on rows of bits.
%
%   data = CrcCheck(word, name)
%   [data, ok] = CrcCheck(word, name)
%
%   Splits each of the F rows of WORD into its first A = columns(word) - L bits, the
%   data, and its last L bits, which it compares with the parity bits CrcAttach
%   appends for the cyclic redundancy check NAME (3GPP TS 36.212 5.1.1, TS 38.212 5.1;
%   see CrcAttach for the generators). OK tells which rows pass.
%
%   Arguments
%     word   F x (A + L) received bits, 0 or 1, of any numeric or logical class; at
%            least L columns. F may be 0.
%     name   the CRC, as text: '24A', '24B', '24C', '16', '11', '8' or '6'.
%
%   Outputs
%     data   F x A: the first A bits of each row.
%     ok     F x 1 logical: true where the row's last L bits are the parity bits of
%            its data; word(ok, :) are the rows that pass.
%
%   Limits
%     Values other than 0 and 1, NaN included, are refused (soft values must be
%     decided first, e.g. llr > 0), as are other names and rows shorter than L.
%
%   Example
%     word = CrcAttach([1 0 1 1 0 0 1 0; 0 1 1 1 0 1 0 1], "8");
%     word(2, 3) = 1 - word(2, 3);               % one bit of the second row flipped
%     [data, ok] = CrcCheck(word, "8");
%     ok'                                        % returns 1 0
%     data(1, :)                                 % returns 1 0 1 1 0 0 1 0
%
%   See also CrcAttach.
