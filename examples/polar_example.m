## results = polar_example (...)
##
## Block error rates of 5G polar codes (3GPP TS 38.212 5.3.1, 5.4.1) over BPSK/AWGN,
## two simulations:
##   1. the (N, K) = (1024, 512) code without rate matching. K - 11 data bits take a
##      CRC-11 (CrcAttach) and the K bits are encoded (PolarEncode); every frame is
##      decoded three ways (PolarDecode): successive cancellation, list decoding with
##      L paths, and CRC-aided list decoding with L paths (the path whose CRC holds).
##   2. a rate-matched control-channel size: K = 64 bits (53 data, CRC-11) sent as
##      E = 432 bits. PolarCodeLength gives the code length (N = 512, downlink),
##      PolarRateMatch the bits sent (puncturing here, K/E <= 7/16), PolarRateRecover
##      the N LLRs back (punctured bits 0), decoded by CRC-aided list decoding.
## PolarEncode and PolarDecode take E there, placing the bits at PolarConstruct(K, N, E),
## the positions of the rate-matched code.
## Eb/N0 counts the data bits: rate (K - 11) / N and (K - 11) / E. A block error is a
## block whose data bits differ. Each simulation has its own table, CSV file and plot
## (results/polar_1024.csv, results/polar_control.csv and .png) with the BPSK capacity
## limit at its rate; results is the 1 x 2 array of the two.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 50 block errors on every curve or after 5000 blocks (under a minute in all), and
##   N, K        the code of the first simulation, default 1024 and 512
##   L           list size, default 8
##   control_K   bits of the rate-matched code, CRC included, default 64
##   control_E   bits it sends, default 432
## Example: polar_example ("EbN0_dB", 1:0.5:3, "L", 4)
function results = polar_example (varargin)
  defaults = lf_defaults (0.5:0.5:3.5);
  defaults.N = 1024;
  defaults.K = 512;
  defaults.L = 8;
  defaults.control_K = 64;
  defaults.control_E = 432;
  defaults.target_frame_errors = 50;
  defaults.max_frames = 5000;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);

  ## 1. The (N, K) code without rate matching.
  p = struct ("N", opts.N, "K", opts.K, "E", opts.N, "L", opts.L, "matched", false);
  p.rate = (p.K - 11) / p.N;
  labels = {"SC", sprintf("SCL %d", p.L), sprintf("CA-SCL %d, CRC 11", p.L)};
  title = sprintf ("5G polar code (%d, %d), BPSK/AWGN", p.N, p.K);
  r = lf_simulate ("polar_1024", title, labels, opts.EbN0_dB, @(EbN0) frame (EbN0, p), opts);
  report (r, opts, p.rate);
  results(1) = r;

  ## 2. The rate-matched control size.
  q = struct ("K", opts.control_K, "E", opts.control_E, "L", opts.L, "matched", true);
  q.N = PolarCodeLength (q.K, q.E);
  q.rate = (q.K - 11) / q.E;
  title = sprintf ("5G polar code, K = %d rate matched to E = %d (N = %d), BPSK/AWGN",
                   q.K, q.E, q.N);
  r = lf_simulate ("polar_control", title, {sprintf("CA-SCL %d, CRC 11", q.L)},
                   opts.EbN0_dB, @(EbN0) frame (EbN0, q), opts);
  report (r, opts, q.rate);
  results(2) = r;
endfunction

function report (r, opts, rate)
  if (! opts.quiet)
    lf_report (r, opts, lf_bpsk_limit (rate), sprintf ("BPSK limit, R = %.3f", rate));
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  data = double (rand (1, p.K - 11) > 0.5);
  tx = PolarEncode (CrcAttach (data, "11"), p.N, p.E);
  if (p.matched)
    tx = PolarRateMatch (tx, p.K, p.E);
  endif
  sigma = lf_noise_sigma (EbN0, p.rate);
  y = lf_awgn (2 * tx - 1, sigma);
  llr = 2 * y / sigma ^ 2;
  if (p.matched)
    llr = PolarRateRecover (llr, p.K, p.N);
    decided = {PolarDecode(llr, p.K, p.N, p.L, "11", 1, p.E)};
  else
    decided = {PolarDecode(llr, p.K, p.N, 1, "", 1), PolarDecode(llr, p.K, p.N, p.L, "", 1), ...
               PolarDecode(llr, p.K, p.N, p.L, "11", 1)};
  endif
  bit_errors = cellfun (@(d) sum (d(1:end - 11) != data), decided);
  frame_errors = bit_errors > 0;
  bits = numel (data);
endfunction
