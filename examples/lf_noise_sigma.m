## sigma = lf_noise_sigma (EbN0_dB, rate, bits_per_symbol)
## Standard deviation per real dimension of white Gaussian noise for signal points of
## unit average energy, at the given Eb/N0 for a code of RATE information bits per code
## bit carried BITS_PER_SYMBOL code bits per point: Es/N0 = Eb/N0 * rate * bits,
## N0 = 1 / (Es/N0), and each real dimension gets N0 / 2.
function sigma = lf_noise_sigma (EbN0_dB, rate, bits_per_symbol = 1)
  EsN0 = 10 .^ (EbN0_dB / 10) * rate * bits_per_symbol;
  sigma = sqrt (1 ./ (2 * EsN0));
endfunction
