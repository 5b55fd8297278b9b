## results = lte_turbo_example (...)
##
## The LTE turbo code (3GPP TS 36.212 5.1.3.2) over Gray QPSK/AWGN. A transport block
## of K - 24 data bits takes its CRC-24A (CrcAttach) and is sent whole as one code
## block of K bits: two 8-state recursive systematic constituent codes with
## g_encoder = [1 0 1 1; 1 1 0 1] (feedback 13, parity 15 in octal), the quadratic
## permutation polynomial interleaver of the block size (QppPermutation) and 12 tail
## bits, 3K + 12 code bits in all. Every two code bits form one QPSK symbol (Modulate,
## lf_qam (4)); the receiver takes their log-likelihood ratios (SoftDemap) and decodes
## iteratively with exact log-MAP and with max-log (TurboDecode, decoder_type 4 and 1).
## With the early stop, a block stops at the first iteration whose decisions pass its
## CRC-24A. Eb/N0 counts the K - 24 data bits: rate (K - 24) / (3K + 12), two code
## bits per symbol. Besides the error rates, the average iterations run per block at
## each point are printed and returned (results.iterations, points x curves).
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 200 frames (about a minute in all), and
##   K           bits per code block, CRC included, one of the 188 interleaver sizes
##               40..6144, default 6144
##   iterations  decoding iterations at most, default 8
##   early_stop  stop a block once its decisions pass the CRC-24A, default true
## Example: lte_turbo_example ("EbN0_dB", 0:0.2:0.8, "early_stop", false)
function results = lte_turbo_example (varargin)
  defaults = lf_defaults (0:0.1:1);
  defaults.K = 6144;
  defaults.iterations = 8;
  defaults.early_stop = true;
  defaults.target_frame_errors = 30;
  defaults.max_frames = 200;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 1 1; 1 1 0 1];
  p.K = opts.K;
  p.A = p.K - 24;
  p.iterations = opts.iterations;
  p.stop = 0;
  if (opts.early_stop)
    p.stop = "24A";
  endif
  p.alpha = QppPermutation (p.K);
  p.S = lf_qam (4);
  m = columns (p.g) - 1;
  p.rate = p.A / (3 * p.K + 4 * m);
  ## Iterations run, summed per Eb/N0 point: [log-MAP, max-log, frames].
  tally = containers.Map ("KeyType", "double", "ValueType", "any");
  labels = {"log-MAP", "max-log"};
  title = sprintf ("LTE turbo code, K = %d, %d iterations%s, QPSK/AWGN", p.K, p.iterations,
                   merge (opts.early_stop, ", CRC stop", ""));
  results = lf_simulate ("lte_turbo", title, labels, opts.EbN0_dB,
                         @(EbN0) frame (EbN0, p, tally), opts);
  results.iterations = NaN (numel (opts.EbN0_dB), numel (labels));
  for i = find (results.frames > 0)
    counts = tally(opts.EbN0_dB(i));
    results.iterations(i, :) = counts(1:2) / counts(3);
  endfor
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (p.rate), sprintf ("QPSK limit, R = %.3f", p.rate));
    printf ("average iterations per block:\n");
    for i = find (results.frames > 0)
      printf ("%6.2f dB   log-MAP %.2f   max-log %.2f\n", opts.EbN0_dB(i),
              results.iterations(i, :));
    endfor
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p, tally)
  data = double (rand (1, p.A) > 0.5);
  block = CrcAttach (data, "24A");
  [sys, p1, p2, tail] = lf_turbo_encode (block, p.g, p.alpha);
  sigma = lf_noise_sigma (EbN0, p.rate, 2);
  y = lf_awgn (Modulate ([sys, p1, p2, tail], p.S), sigma);
  llr = SoftDemap (y, p.S, 1 / (2 * sigma ^ 2), 4);
  K = p.K;
  received = {llr(1:K), llr(K+1:2*K), llr(2*K+1:3*K), llr(3*K+1:end)};
  bit_errors = zeros (1, 2);
  runs = zeros (1, 2);
  for c = 1:2
    [app, ~, runs(c)] = TurboDecode (received{:}, p.g, p.alpha, p.iterations, [4 1](c), 0,
                                     p.stop);
    bit_errors(c) = sum ((app(1:p.A) > 0) != data);
  endfor
  frame_errors = bit_errors > 0;
  bits = p.A;
  counts = [0 0 0];
  if (isKey (tally, EbN0))
    counts = tally(EbN0);
  endif
  tally(EbN0) = counts + [runs, 1];
endfunction
