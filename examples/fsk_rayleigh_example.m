## results = fsk_rayleigh_example (...)
##
## Coded 16-ary orthogonal frequency-shift keying over flat Rayleigh fading with
## AWGN. The K = 7 (133, 171) convolutional code (TrellisCoder, terminated) feeds a
## random bit interleaver (a fixed permutation from randperm, 0-based, Interleave);
## every four interleaved code bits choose one of 16 tones (Modulate over the 16 x 16
## identity: column k is tone k). Every symbol sees its own fading coefficient
## (lf_rayleigh, E|a|^2 = 1: a fully interleaved channel) and white noise on each of
## the 16 matched-filter outputs. ToneMetrics turns the filter outputs into tone
## log-likelihoods under three models of what the receiver knows about the channel,
## one curve each:
##   coherent, CSI     csi_flag 0: the complex fading coefficient is known
##   amplitude CSI     csi_flag 1: noncoherent, the fading amplitude |a| is known
##   no CSI            csi_flag 2: noncoherent, only the fading statistics are known
## SymbolBitMetrics (exact operator) gives code-bit log-likelihood ratios, which are
## deinterleaved and decoded by TrellisBestPath (Viterbi) or TrellisPosterior
## (log-MAP). The three curves share the data, the fading and the noise of a frame.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 50 frame errors on every curve or after 2500 frames (about a minute in all), and
##   L        information bits per frame, default 1000
##   decoder  "viterbi" (default) or "log-map"
## Example: fsk_rayleigh_example ("EbN0_dB", 4:2:12, "decoder", "log-map")
function results = fsk_rayleigh_example (varargin)
  defaults = lf_defaults (3:1:10);
  defaults.L = 1000;
  defaults.decoder = "viterbi";
  defaults.max_frames = 2500;
  opts = lf_options (defaults, varargin);
  if (! any (strcmp (opts.decoder, {"viterbi", "log-map"})))
    error ("fsk_rayleigh_example: decoder must be \"viterbi\" or \"log-map\"");
  endif
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.g = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1];
  p.L = opts.L;
  p.M = 16;
  p.coded = 2 * (p.L + columns (p.g) - 1);
  p.perm = randperm (p.coded) - 1;                 # fixed for the whole run
  p.tones = eye (p.M);
  p.rate = p.L / p.coded;
  p.viterbi = strcmp (opts.decoder, "viterbi");
  labels = {"coherent, CSI", "amplitude CSI", "no CSI"};
  title = sprintf ("16-FSK, Rayleigh fading, K = 7 code, %s, L = %d",
                   {"log-MAP", "Viterbi"}{p.viterbi + 1}, p.L);
  results = lf_simulate ("fsk_rayleigh", title, labels, opts.EbN0_dB,
                         @(EbN0) frame (EbN0, p), opts);
  if (! opts.quiet)
    lf_report (results, opts, []);
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.L) > 0.5);
  code = TrellisCoder (data, p.g, 1);
  x = Modulate (Interleave (code, p.perm), p.tones);   # 16 x symbols, one tone each
  a = lf_rayleigh (1, columns (x));
  sigma = lf_noise_sigma (EbN0, p.rate, log2 (p.M));
  EsNo = 1 / (2 * sigma ^ 2);
  y = lf_awgn (x .* a, sigma);
  bit_errors = zeros (1, 3);
  for csi = 0:2
    demapped = SymbolBitMetrics (ToneMetrics (y, EsNo, csi, a), 4);
    channel = Deinterleave (demapped(1:p.coded), p.perm);
    if (p.viterbi)
      decided = TrellisBestPath (channel, p.g, 1);
    else
      decided = TrellisPosterior (zeros (1, p.L), channel, p.g, 1, 4) > 0;
    endif
    bit_errors(csi + 1) = sum (decided != data);
  endfor
  frame_errors = bit_errors > 0;
  bits = p.L;
endfunction
