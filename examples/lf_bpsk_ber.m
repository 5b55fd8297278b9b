## ber = lf_bpsk_ber (EbN0_dB)
## Bit error rate of uncoded BPSK (or Gray QPSK) over AWGN: Q(sqrt(2 Eb/N0)).
function ber = lf_bpsk_ber (EbN0_dB)
  ber = 0.5 * erfc (sqrt (10 .^ (EbN0_dB / 10)));
endfunction
