## EbN0_dB = lf_bpsk_limit (rate)
## The smallest Eb/N0 at which a binary-input AWGN channel (BPSK) can carry RATE
## information bits per channel bit: where its capacity, computed by numerical
## integration over the channel output, equals RATE. Below it no code of that rate
## reaches a vanishing error rate.
function EbN0_dB = lf_bpsk_limit (rate)
  EbN0_dB = fzero (@(x) lf_bpsk_capacity (10 ^ (x / 10) * rate) - rate, [-2 10]);
endfunction

function c = lf_bpsk_capacity (EsN0)
  ## The output y = 1 + n, n ~ N(0, 1 / (2 EsN0)); C = 1 - E[log2(1 + exp(-L))] with
  ## L = 4 EsN0 y the channel log-likelihood ratio of the sent +1.
  s2 = 1 / (2 * EsN0);
  softplus2 = @(z) (max (z, 0) + log1p (exp (-abs (z)))) / log (2);
  f = @(y) exp (-(y - 1) .^ 2 / (2 * s2)) / sqrt (2 * pi * s2) .* softplus2 (-2 * y / s2);
  c = 1 - quadgk (f, -Inf, Inf);
endfunction
