## results = relay_fsk_example (...)
##
## The two-way relay with physical-layer network coding over M-ary orthogonal FSK.
## Two users send one tone each in the same symbol interval (Modulate over the M x M
## identity: column k is tone k), each through its own flat Rayleigh fading
## coefficient (lf_rayleigh, E|a|^2 = 1, new for every symbol); the relay's M
## matched filters see the sum of both plus white noise. The relay does not decode
## either user: it wants the network-coded label, the exclusive-or of the two labels,
## which it later broadcasts so that each user recovers the other's bits with its
## own. RelayFrequencyMetrics gives the log-likelihood of every pair of tones and
## RelayLabelMetrics (exact operator) the log-likelihood ratios of the exclusive-or
## bits, under two models of what the relay knows:
##   csi 1  csi_flag 1: both fading coefficients known (csi1switch 0: when both users
##          send the same tone their signals add as a1 + a2)
##   csi 2  csi_flag 2: only the average energies E1 = E2 = 1 known
## Uncoded, the bits are decided by sign. Coded, both users encode with the same
## terminated K = 7 (133, 171) convolutional code and the same random bit interleaver;
## the code is linear, so the exclusive-or of the two code words is the code word of
## the exclusive-or of the data, and the relay decodes it directly from the
## exclusive-or values (Deinterleave, TrellisBestPath). Curves: "uncoded, csi 1",
## "uncoded, csi 2" and, when CODED is set, "coded, csi 1", "coded, csi 2". Errors are
## counted on the exclusive-or of the users' data bits; Eb/N0 is per user and
## information bit (each user sends energy 1 per symbol).
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 50 frame errors on every curve or after 1800 frames (about a minute in all), and
##   M      tones (a power of two), default 4
##   L      information bits per user and frame (rounded up to whole symbols),
##          default 1000
##   coded  also simulate the coded link, default true
## Example: relay_fsk_example ("EbN0_dB", 0:4:28, "M", 8, "coded", false)
function results = relay_fsk_example (varargin)
  defaults = lf_defaults (0:3:30);
  defaults.M = 4;
  defaults.L = 1000;
  defaults.coded = true;
  defaults.max_frames = 1800;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.M = opts.M;
  p.m = round (log2 (p.M));
  if (p.M < 2 || 2 ^ p.m != p.M)
    error ("relay_fsk_example: M must be a power of two, not %g", p.M);
  endif
  p.L = ceil (opts.L / p.m) * p.m;                 # whole symbols when uncoded
  p.tones = eye (p.M);
  p.coded = opts.coded;
  p.g = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1];
  p.code_bits = 2 * (p.L + columns (p.g) - 1);
  p.perm = randperm (p.code_bits) - 1;             # fixed for the whole run
  p.rate = p.L / (ceil (p.code_bits / p.m) * p.m);
  labels = {"uncoded, csi 1", "uncoded, csi 2"};
  if (p.coded)
    labels(end+1:end+2) = {"coded, csi 1", "coded, csi 2"};
  endif
  title = sprintf ("Two-way relay, %d-FSK network coding, Rayleigh fading", p.M);
  results = lf_simulate ("relay_fsk", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p),
                         opts);
  if (! opts.quiet)
    lf_report (results, opts, []);
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data1 = double (rand (1, p.L) > 0.5);
  data2 = double (rand (1, p.L) > 0.5);
  target = xor (data1, data2);
  bit_errors = [];
  xor_values = relay (data1, data2, p, lf_noise_sigma (EbN0, 1, p.m));
  for csi = 1:2
    bit_errors(end+1) = sum ((xor_values{csi} > 0) != target);
  endfor
  if (p.coded)
    code1 = Interleave (TrellisCoder (data1, p.g, 1), p.perm);
    code2 = Interleave (TrellisCoder (data2, p.g, 1), p.perm);
    xor_values = relay (code1, code2, p, lf_noise_sigma (EbN0, p.rate, p.m));
    for csi = 1:2
      channel = Deinterleave (xor_values{csi}(1:p.code_bits), p.perm);
      bit_errors(end+1) = sum (TrellisBestPath (channel, p.g, 1) != target);
    endfor
  endif
  frame_errors = bit_errors > 0;
  bits = p.L;
endfunction

## Both users send their bits at once; returns the relay's exclusive-or bit values
## under csi_flag 1 and 2 (one row each, padded to whole symbols).
function values = relay (bits1, bits2, p, sigma)
  x1 = Modulate (bits1, p.tones);
  x2 = Modulate (bits2, p.tones);
  n = columns (x1);
  a1 = lf_rayleigh (1, n);
  a2 = lf_rayleigh (1, n);
  y = lf_awgn (x1 .* a1 + x2 .* a2, sigma);
  EsNo = 1 / (2 * sigma ^ 2);
  values = cell (1, 2);
  for csi = 1:2
    pairs = RelayFrequencyMetrics (y, EsNo, csi, a1, a2, 1, 1, 0);
    values{csi} = RelayLabelMetrics (pairs, p.M, 4);
  endfor
endfunction
