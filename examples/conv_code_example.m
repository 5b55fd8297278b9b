## results = conv_code_example (...)
##
## The K = 7 (133, 171) rate-1/2 convolutional code over BPSK/AWGN, decoded four ways:
##   Viterbi      terminated block, TrellisBestPath
##   log-MAP      terminated block, TrellisPosterior with the exact operator
##   tail-biting  the same code without tail bits, TrellisBestPath as a ring
##   rate 3/4     terminated block punctured by [1 1 0; 1 0 1] (Puncture, Depuncture)
## Every curve is measured against Eb/N0 per information bit, so the rate of each
## variant (tail bits included) sets its noise level.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 50 frame errors on every curve or after 1000 frames (about a minute in all), and
##   L  information bits per frame (a multiple of 3), default 1200.
## Example: conv_code_example ("EbN0_dB", 2:0.5:4, "max_frames", 200)
function results = conv_code_example (varargin)
  defaults = lf_defaults (0:0.5:5);
  defaults.max_frames = 1000;
  defaults.L = 1200;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1];
  p.m = columns (p.g) - 1;
  p.pattern = [1 1 0; 1 0 1];   # rate 3/4 from rate 1/2
  p.tail = ones (2, p.m);
  p.L = opts.L;
  L = opts.L;
  p.rates = [L / (2 * (L + p.m)), L / (2 * (L + p.m)), 1 / 2, L / (4 * L / 3 + 2 * p.m)];
  labels = {"Viterbi", "log-MAP", "tail-biting", "rate 3/4"};
  title = sprintf ("K = 7 (133, 171) convolutional code, BPSK/AWGN, %d bits per frame", L);
  results = lf_simulate ("conv_code_k7", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p),
                         opts);
  if (! opts.quiet)
    lf_report (results, opts, "bpsk");
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.L) > 0.5);
  sigma = lf_noise_sigma (EbN0, p.rates, 1);
  llr = @(c, s) 2 * lf_awgn (2 * c - 1, s) / s ^ 2;   # ln(P(1)/P(0)) of BPSK
  code = TrellisCoder (data, p.g, 1);
  decided = cell (1, 4);
  decided{1} = TrellisBestPath (llr (code, sigma(1)), p.g, 1);
  [app, ~] = TrellisPosterior (zeros (1, p.L), llr (code, sigma(2)), p.g, 1, 4);
  decided{2} = app > 0;
  ring = TrellisCoder (data, p.g, 2);
  decided{3} = TrellisBestPath (llr (ring, sigma(3)), p.g, 2);
  sent = Puncture (reshape (code, 2, []), p.pattern, p.tail);
  restored = Depuncture (llr (sent, sigma(4)), p.pattern, p.tail);
  decided{4} = TrellisBestPath (reshape (restored, 1, []), p.g, 1);
  bit_errors = cellfun (@(d) sum (d != data), decided);
  frame_errors = bit_errors > 0;
  bits = p.L;
endfunction
