## results = duobinary_turbo_example (...)
##
## The double-binary circular turbo code of the DVB-RCS shape over Gray QPSK/AWGN. The
## data enter as N pairs of bits (A, B); two eight-state circular recursive systematic
## constituent codes (CircularPairCoder, parity generators [1 0 1 1; 1 0 0 1]: Y and
## W) encode the pairs in natural order and in the order of a permutation of pairs
## (lf_pair_permutation: the code's two-level rule, a pair permutation with A and B
## exchanged in every other pair). No tail bits: both blocks are circular.
## Every two transmitted bits form one QPSK symbol (Modulate, lf_psk (4)); the
## receiver takes bit log-likelihood ratios (SoftDemap: PlaneMetrics then
## SymbolBitMetrics in one call), turns each pair of them into symbol values (u = 1:
## LB, u = 2: LA, u = 3: LA + LB) and
## decodes iteratively (CircularTurboDecode): two CircularPairPosterior decoders
## exchange extrinsic symbol values (a-posteriori minus decoder input) through the
## permutation of pairs, whose exchange of A and B swaps the values of u = 1 and
## u = 2. Curves:
##   log-MAP R=1/3  A, B, Y1, W1, Y2, W2 sent; dec_type 4 (exact)
##   max-log R=1/3  the same; dec_type 1 (max-log)
##   log-MAP R=1/2  A, B, Y1, Y2 sent (W punctured); dec_type 4
## Decisions take the most likely symbol of each pair after the last iteration.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 250 frames (about a minute in all), and
##   N           pairs per frame (48, 64, 212 or 752), default 212 (424 data bits)
##   iterations  decoding iterations, default 8
## Example: duobinary_turbo_example ("EbN0_dB", 0:0.25:1.5, "N", 752)
function results = duobinary_turbo_example (varargin)
  defaults = lf_defaults (0:0.25:2);
  defaults.N = 212;
  defaults.iterations = 8;
  defaults.target_frame_errors = 30;
  defaults.max_frames = 250;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.N = opts.N;
  p.iterations = opts.iterations;
  p.poly = [1 0 1 1; 1 0 0 1];
  [p.alpha, p.swap] = lf_pair_permutation (p.N);
  p.S = lf_psk (4);
  p.rates = [1/3, 1/3, 1/2];
  labels = {"log-MAP R=1/3", "max-log R=1/3", "log-MAP R=1/2"};
  title = sprintf ("Double-binary turbo code, N = %d, %d iterations, QPSK", p.N,
                   p.iterations);
  results = lf_simulate ("duobinary_turbo", title, labels, opts.EbN0_dB,
                         @(EbN0) frame (EbN0, p), opts);
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (1 / 3), "QPSK limit, R = 1/3");
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  N = p.N;
  pairs = double (rand (2, N) > 0.5);              # column t: A and B of pair t
  z1 = CircularPairCoder (pairs, p.poly);          # 2 x N: Y and W
  z2 = CircularPairCoder (pair_interleave (pairs, p), p.poly);
  sigma = lf_noise_sigma (EbN0, p.rates, 2);
  decided = cell (1, 3);
  for c = 1:3
    if (c < 3)
      sent = [pairs(:); z1(:); z2(:)]';
    else
      sent = [pairs(:); reshape([z1(1, :); z2(1, :)], [], 1)]';
    endif
    llr = qpsk_channel (sent, p.S, sigma(c));
    Lx = symbol_values (reshape (llr(1:2*N), 2, N));
    if (c < 3)
      Lz1 = symbol_values (reshape (llr(2*N+1:4*N), 2, N));
      Lz2 = symbol_values (reshape (llr(4*N+1:6*N), 2, N));
    else
      Ly = reshape (llr(2*N+1:4*N), 2, N);         # rows Y1, Y2; W values are 0
      Lz1 = symbol_values ([Ly(1, :); zeros(1, N)]);
      Lz2 = symbol_values ([Ly(2, :); zeros(1, N)]);
    endif
    app = turbo_decode (Lx, Lz1, Lz2, p, [4 1 4](c));
    [~, u] = max ([zeros(1, N); app]);             # most likely symbol, 1-based
    decided{c} = [u >= 3; mod(u - 1, 2)];
  endfor
  bit_errors = cellfun (@(d) sum (d(:) != pairs(:)), decided);
  frame_errors = bit_errors > 0;
  bits = 2 * N;
endfunction

## Bit log-likelihood ratios of the bits SENT two per Gray QPSK symbol over AWGN of
## standard deviation SIGMA per real dimension.
function llr = qpsk_channel (sent, S, sigma)
  y = lf_awgn (Modulate (sent, S), sigma);
  llr = SoftDemap (y, S, 1 / (2 * sigma ^ 2), 4);
endfunction

## Symbol values of a 2 x N matrix of bit values (rows: first and second bit).
function v = symbol_values (L)
  v = [L(2, :); L(1, :); L(1, :) + L(2, :)];
endfunction

## Two rows per pair (bits A, B) into the order of the second code; in every swapped
## pair A and B change places.
function Y = pair_interleave (X, p)
  Y = zeros (size (X));
  for k = 1:rows (X)
    Y(k, :) = Interleave (X(k, :), p.alpha);
  endfor
  Y([1 2], p.swap) = Y([2 1], p.swap);
endfunction

## Iterative decoding; returns the a-posteriori symbol values of the pairs (3 x N) in
## natural order after the last iteration. CircularTurboDecode runs the loop of two
## CircularPairPosterior decoders exchanging extrinsic values (a-posteriori minus
## decoder input) through the permutation of pairs, whose exchange of A and B swaps
## the values of u = 1 and u = 2.
function app = turbo_decode (Lx, Lz1, Lz2, p, dec_type)
  app = CircularTurboDecode (Lx(:)', Lz1(:)', Lz2(:)', p.poly, p.alpha, p.swap,
                             p.iterations, dec_type);
  app = reshape (app, 3, p.N);
endfunction
