## results = lte_turbo_example (...)
##
## The LTE turbo code (3GPP TS 36.212 5.1.3.2) over BPSK/AWGN: two 8-state recursive
## systematic constituent codes with g_encoder = [1 0 1 1; 1 1 0 1] (feedback 13, parity
## 15 in octal), the quadratic permutation polynomial interleaver of the block size
## (QppPermutation) and 12 tail bits, rate K / (3K + 12), decoded iteratively with exact
## log-MAP and with max-log (TurboDecode, decoder_type 4 and 1). QPSK with Gray labels
## carries two such BPSK streams, so its bit and frame error rates against Eb/N0 are
## the same.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 200 frames (about a minute in all), and
##   K           information bits per frame, one of the 188 interleaver sizes 40..6144,
##               default 6144
##   iterations  decoding iterations, default 8
## Example: lte_turbo_example ("EbN0_dB", 0:0.1:0.7, "K", 6144)
function results = lte_turbo_example (varargin)
  defaults = lf_defaults (0:0.2:1);
  defaults.K = 6144;
  defaults.iterations = 8;
  defaults.target_frame_errors = 30;
  defaults.max_frames = 200;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 1 1; 1 1 0 1];
  p.K = opts.K;
  p.iterations = opts.iterations;
  p.alpha = QppPermutation (p.K);
  m = columns (p.g) - 1;
  p.rate = p.K / (3 * p.K + 4 * m);
  labels = {"log-MAP", "max-log"};
  title = sprintf ("LTE turbo code, K = %d, %d iterations, BPSK/AWGN", p.K, p.iterations);
  results = lf_simulate ("lte_turbo", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p),
                         opts);
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (p.rate), sprintf ("BPSK limit, R = %.3f", p.rate));
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.K) > 0.5);
  [sys, p1, p2, tail] = lf_turbo_encode (data, p.g, p.alpha);
  s = lf_noise_sigma (EbN0, p.rate, 1);
  llr = @(c) 2 * lf_awgn (2 * c - 1, s) / s ^ 2;
  received = {llr(sys), llr(p1), llr(p2), llr(tail)};
  bit_errors = zeros (1, 2);
  for c = 1:2
    app = TurboDecode (received{:}, p.g, p.alpha, p.iterations, [4 1](c));
    bit_errors(c) = sum ((app > 0) != data);
  endfor
  frame_errors = bit_errors > 0;
  bits = p.K;
endfunction
