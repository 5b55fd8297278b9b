## results = rate_matching_example (...)
##
## A turbo code matched to an exact number of transmitted bits, over BPSK/AWGN. Two
## 16-state recursive systematic constituent codes (lf_turbo_encode, g_encoder
## [1 0 0 1 1; 1 1 0 1 1]: feedback 23, parity 33 in octal, as in the space-link
## turbo code) send K data bits, two parity streams of K bits and 16 tail bits. To
## carry exactly round(K / RATE) bits per frame, the data and tail bits are always
## sent and each parity stream is thinned to half the remaining budget by
## BitCountAdapt: its error accumulator (e_ini, e_plus = K, e_minus = K - kept)
## removes evenly spread positions, and the second stream starts half a period later
## (e_ini = K against ceil(K/2) for the second) so that the two streams keep
## alternate positions when half of each is removed. The receiver puts 0 at the
## removed positions (BitCountRestore) and decodes with TurboDecode. Curves, one
## per internal permutation of the data block:
##   space-link  SpaceLinkPermutation (K = 1784, 3568, 7136 or 8920)
##   S-random    SeededSpreadPermutation (K, S, seed): values within S positions lie
##               at least S apart. It is drawn once per run from the run's seed, so
##               the same seed gives the same permutation, and the whole run repeats.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 150 frames (about a minute in all), and
##   K             information bits per frame, default 1784
##   rate          code rate after matching (between K / (3K + 16) and 1), default 1/2
##   S             spread of the S-random permutation, default 25
##   iterations    decoding iterations, default 8
##   decoder_type  TrellisPosterior's operator, default 4 (exact log-MAP)
## Example: rate_matching_example ("EbN0_dB", 0.5:0.25:1.5, "rate", 2/3)
function results = rate_matching_example (varargin)
  defaults = lf_defaults (0:0.25:1.5);
  defaults.K = 1784;
  defaults.rate = 1 / 2;
  defaults.S = 25;
  defaults.iterations = 8;
  defaults.decoder_type = 4;
  defaults.target_frame_errors = 30;
  defaults.max_frames = 150;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 0 1 1; 1 1 0 1 1];
  p.K = opts.K;
  p.iterations = opts.iterations;
  p.decoder_type = opts.decoder_type;
  tail = 4 * (columns (p.g) - 1);
  p.sent = round (p.K / opts.rate);                # bits per frame, exactly
  budget = p.sent - p.K - tail;                    # parity bits to keep
  if (budget < 0 || budget > 2 * p.K)
    error ("rate_matching_example: rate %g needs %d parity bits; 0 to %d are available",
           opts.rate, budget, 2 * p.K);
  endif
  p.kept = [ceil(budget / 2), floor(budget / 2)];
  ## BitCountAdapt's accumulator per parity stream: e_ini, e_plus, e_minus.
  p.matching = [p.K, p.K, p.K - p.kept(1); ceil(p.K / 2), p.K, p.K - p.kept(2)];
  p.alphas = {SpaceLinkPermutation(p.K), SeededSpreadPermutation(p.K, opts.S, opts.seed)};
  p.rate = p.K / p.sent;
  labels = {"space-link", sprintf("S-random, S = %d", opts.S)};
  title = sprintf ("Turbo code, K = %d, %d bits sent, %d iterations", p.K, p.sent,
                   p.iterations);
  results = lf_simulate ("rate_matching", title, labels, opts.EbN0_dB,
                         @(EbN0) frame (EbN0, p), opts);
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (p.rate),
               sprintf ("BPSK limit, R = %.3f", p.rate));
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.K) > 0.5);
  sigma = lf_noise_sigma (EbN0, p.rate, 1);
  llr = @(c) 2 * lf_awgn (2 * c - 1, sigma) / sigma ^ 2;
  m = num2cell (p.matching);
  ends = cumsum ([p.K, p.kept]);                   # last data, parity 1, parity 2 bit
  bit_errors = zeros (1, numel (p.alphas));
  for c = 1:numel (p.alphas)
    [sys, p1, p2, tail] = lf_turbo_encode (data, p.g, p.alphas{c});
    y = llr ([sys, BitCountAdapt(p1, p.K, m{1, :}), BitCountAdapt(p2, p.K, m{2, :}), tail]);
    yp1 = BitCountRestore (y(ends(1)+1:ends(2)), p.K, m{1, :});
    yp2 = BitCountRestore (y(ends(2)+1:ends(3)), p.K, m{2, :});
    app = TurboDecode (y(1:p.K), yp1, yp2, y(ends(3)+1:end), p.g, p.alphas{c}, p.iterations,
                       p.decoder_type);
    bit_errors(c) = sum ((app > 0) != data);
  endfor
  frame_errors = bit_errors > 0;
  bits = p.K;
endfunction
