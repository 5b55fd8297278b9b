## results = bicm_id_example (...)
##
## Bit-interleaved coded modulation with iterative demapping and decoding (BICM-ID) on
## 16-QAM over AWGN. A terminated feed-forward convolutional code (TrellisCoder) feeds
## a random bit interleaver (a fixed permutation from randperm, 0-based, applied by
## Interleave); every four interleaved code bits choose a 16-QAM point (Modulate). The
## receiver computes symbol log-likelihoods once (PlaneMetrics) and then iterates:
## SymbolBitMetrics turns them into extrinsic code-bit values given the decoder's
## extrinsic values as a-priori information (zero in the first pass), Deinterleave
## puts them into code order, TrellisPosterior (exact log-MAP) decodes them, and its
## code-bit output minus its input goes back through Interleave to the demapper.
## Gray labelling gives the best first pass but little to gain from iterating; set
## partitioning (lf_qam "sp") starts worse but gains several tenths of a dB once the
## decoder's values let the demapper tell apart points that differ in one bit, since
## such points lie far apart. Curves, per labelling and per entry of ITERATIONS:
##   Gray, <i> it   and   SP, <i> it
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 30 frame errors on every curve or after 1000 frames (about a minute in all), and
##   L           information bits per frame, default 2000
##   g           generator matrix of the feed-forward code, default [1 1 1; 1 0 1]
##               (the 4-state (7, 5) code; short codes gain most from iterating)
##   iterations  demapping-decoding passes at which errors are counted, default [1 4]
## Example: bicm_id_example ("EbN0_dB", 3:0.5:6, "iterations", [1 2 4 8])
function results = bicm_id_example (varargin)
  defaults = lf_defaults (2:0.5:6.5);
  defaults.L = 2000;
  defaults.g = [1 1 1; 1 0 1];
  defaults.iterations = [1 4];
  defaults.target_frame_errors = 30;
  defaults.max_frames = 1000;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.L = opts.L;
  p.g = opts.g;
  p.iterations = sort (opts.iterations(:)');
  m = columns (p.g) - 1;
  p.coded = rows (p.g) * (p.L + m);
  p.perm = randperm (p.coded) - 1;                 # fixed for the whole run
  p.sets = {lf_qam(16, "gray"), lf_qam(16, "sp")};
  p.rate = p.L / p.coded;
  names = {"Gray", "SP"};
  labels = {};
  for s = 1:numel (names)
    for it = p.iterations
      labels{end+1} = sprintf ("%s, %d it", names{s}, it);
    endfor
  endfor
  title = sprintf ("BICM-ID, 16-QAM, %d-state rate-1/%d code, L = %d", 2 ^ m, rows (p.g),
                   p.L);
  results = lf_simulate ("bicm_id", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p),
                         opts);
  if (! opts.quiet)
    ## 16-QAM carries 4 R bits per symbol where its capacity reaches 4 R.
    bits = 4 * p.rate;
    EsN0 = fzero (@(x) lf_cm_capacity (p.sets{1}, x, 32) - bits, [-5 20]);
    lf_report (results, opts, EsN0 - 10 * log10 (bits),
               sprintf ("16-QAM limit, R = %.3g", p.rate));
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.L) > 0.5);
  code = TrellisCoder (data, p.g, 1);
  sigma = lf_noise_sigma (EbN0, p.rate, 4);
  EsNo = 1 / (2 * sigma ^ 2);
  bit_errors = [];
  for s = 1:numel (p.sets)
    S = p.sets{s};
    y = lf_awgn (Modulate (Interleave (code, p.perm), S), sigma);
    metrics = PlaneMetrics (y, S, EsNo);
    apriori = zeros (1, p.coded);
    for it = 1:p.iterations(end)
      demapped = SymbolBitMetrics (metrics, 4, apriori);
      channel = Deinterleave (demapped(1:p.coded), p.perm);   # the padding bits dropped
      [app, code_app] = TrellisPosterior (zeros (1, p.L), channel, p.g, 1, 4);
      if (any (it == p.iterations))
        bit_errors(end+1) = sum ((app > 0) != data);
      endif
      apriori = Interleave (code_app - channel, p.perm);
    endfor
  endfor
  frame_errors = bit_errors > 0;
  bits = p.L;
endfunction
