## results = turbo_code_example (...)
##
## The rate-1/3 turbo code of the cellular standard's shape over BPSK/AWGN: two
## 8-state recursive systematic constituent codes with g_encoder = [1 0 1 1; 1 1 0 1]
## (feedback 13, parity 15 in octal), the cellular internal permutation
## (WcdmaPermutation) and 12 tail bits, decoded iteratively with exact log-MAP and
## with max-log (TurboDecode, decoder_type 4 and 1). The same code is also
## punctured to rate 1/2 (Puncture keeps the parity streams alternately; Depuncture
## puts zeros back) and decoded with log-MAP.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 250 frames (about a minute in all), and
##   K           information bits per frame (40..5114), default 1024
##   iterations  decoding iterations, default 8
## Example: turbo_code_example ("EbN0_dB", 0:0.25:1.25, "K", 1024)
function results = turbo_code_example (varargin)
  defaults = lf_defaults (0:0.25:1.5);
  defaults.K = 1024;
  defaults.iterations = 8;
  defaults.target_frame_errors = 30;
  defaults.max_frames = 250;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 1 1; 1 1 0 1];
  p.K = opts.K;
  p.iterations = opts.iterations;
  p.alpha = WcdmaPermutation (p.K);
  p.pattern = [1 1; 1 0; 0 1];   # systematic always, parities alternately
  m = columns (p.g) - 1;
  p.rates = [p.K / (3 * p.K + 4 * m), p.K / (3 * p.K + 4 * m), p.K / (2 * p.K + 4 * m)];
  labels = {"log-MAP R=1/3", "max-log R=1/3", "log-MAP R=1/2"};
  title = sprintf ("Turbo code, K = %d, %d iterations, BPSK/AWGN", p.K, p.iterations);
  results = lf_simulate ("turbo_code", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p),
                         opts);
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (1 / 3), "BPSK limit, R = 1/3");
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.K) > 0.5);
  [sys, p1, p2, tail] = lf_turbo_encode (data, p.g, p.alpha);
  sigma = lf_noise_sigma (EbN0, p.rates, 1);
  llr = @(c, s) 2 * lf_awgn (2 * c - 1, s) / s ^ 2;
  decided = cell (1, 3);
  for c = 1:2
    s = sigma(c);
    app = TurboDecode (llr (sys, s), llr (p1, s), llr (p2, s), llr (tail, s), p.g, p.alpha,
                       p.iterations, [4 1](c));
    decided{c} = app > 0;
  endfor
  s = sigma(3);
  sent = Puncture ([sys; p1; p2], p.pattern, []);
  restored = Depuncture (llr (sent, s), p.pattern, []);
  app = TurboDecode (restored(1, :), restored(2, :), restored(3, :), llr (tail, s), p.g,
                     p.alpha, p.iterations, 4);
  decided{3} = app > 0;
  bit_errors = cellfun (@(d) sum (d != data), decided);
  frame_errors = bit_errors > 0;
  bits = p.K;
endfunction
