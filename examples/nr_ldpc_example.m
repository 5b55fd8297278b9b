## results = nr_ldpc_example (...)
##
## Block error rate of the 5G NR LDPC chain (3GPP TS 38.212) over AWGN for two
## transport blocks, one that selects base graph 1 (4224 bits at rate 3/4 by default)
## and one that selects base graph 2 (528 bits at rate 1/2), each on Gray QPSK and
## 16-QAM with the constellations of TS 38.211 5.1 (b0, b2, ... choose the in-phase
## level, b1, b3, ... the quadrature level). Per transport block of A bits:
##   NrLdpcSegment     base graph, lifting size Z, code blocks and bits E of each, for
##                     G = Qm * round (A / (R * Qm)) channel bits (rate A / G)
##   CrcAttach         the transport block CRC ('24A', or '16' up to 3824 bits) and,
##                     where the block is segmented, each code block's '24B'
##   NrLdpcEncode      each code block with its filler bits (0)
##   NrLdpcRateMatch   E bits of each block, redundancy version 0, bit interleaving
##   Modulate          Qm bits per symbol; lf_awgn adds the noise
##   SoftDemap         exact bit log-likelihood ratios
##   NrLdpcRateRecover the values back into codeword rows, filler bits known
##   NrLdpcDecode      layered normalised min-sum (scale 0.75), each block stopping
##                     once its parity checks hold
##   CrcCheck          each code block's CRC, then the transport block's
## A block error is a transport block whose CRC fails or whose data differ. Each
## transport block is one simulation (lf_simulate, one curve per modulation) with its
## own table and CSV file (results/nr_ldpc_tb1.csv, nr_ldpc_tb2.csv); results is the
## 1 x 2 array of the two. One plot (results/nr_ldpc.png) draws the block error rate
## of every curve beside the capacity limit of its modulation at its rate: the Eb/N0
## where the constellation's capacity (lf_cm_capacity) equals the data bits per
## symbol, Qm * A / G. The limits (results(t).limits_dB) and the average decoder
## iterations per code block at each point (results(t).iterations, points x curves)
## are printed and returned too.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 20 block errors on every curve or after 200 blocks (about a minute in all), and
##   tbs         the two transport block sizes A, default [4224 528]
##   rates       their code rates R, default [3/4 1/2]
##   iterations  decoder iterations at most, default 25
## Example: nr_ldpc_example ("EbN0_dB", 0:0.5:5, "tbs", [8448 1320], "rates", [2/3 1/3])
function results = nr_ldpc_example (varargin)
  defaults = lf_defaults (1:0.25:6.5);
  defaults.tbs = [4224 528];
  defaults.rates = [3/4 1/2];
  defaults.iterations = 25;
  defaults.target_frame_errors = 20;
  defaults.max_frames = 200;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  orders = [2 4];
  names = {"QPSK", "16-QAM"};
  for t = 1:numel (opts.tbs)
    curves = {};
    labels = {};
    for q = 1:numel (orders)
      curves{q} = chain (opts.tbs(t), opts.rates(t), orders(q), opts.iterations);
      labels{q} = sprintf ("%s R=%.3f", names{q}, curves{q}.A / curves{q}.G);
    endfor
    ## Iterations run, summed per Eb/N0 point: one column per curve, code blocks below.
    tally = containers.Map ("KeyType", "double", "ValueType", "any");
    title = sprintf ("5G NR LDPC, transport block of %d bits, base graph %d, AWGN",
                     curves{1}.A, curves{1}.bg);
    r = lf_simulate (sprintf ("nr_ldpc_tb%d", t), title, labels, opts.EbN0_dB,
                     @(EbN0) frame (EbN0, curves, tally), opts);
    r.iterations = NaN (numel (opts.EbN0_dB), numel (curves));
    for i = find (r.frames > 0)
      counts = tally(opts.EbN0_dB(i));
      r.iterations(i, :) = counts(1, :) ./ counts(2, :);
    endfor
    r.A = curves{1}.A;
    r.limits_dB = cellfun (@capacity_limit, curves);
    if (! opts.quiet)
      lf_report (r, setfield (opts, "plot", false), []);
      printf ("capacity limit: %s dB; average iterations per code block:\n",
              strjoin (arrayfun (@(x) sprintf ("%.2f", x), r.limits_dB, "uniformoutput", false),
                       " and "));
      for i = find (r.frames > 0)
        printf ("%6.2f dB  %s\n", opts.EbN0_dB(i), sprintf ("%8.2f", r.iterations(i, :)));
      endfor
    endif
    results(t) = r;
  endfor
  png = fullfile (opts.output_dir, "nr_ldpc.png");
  if (! opts.quiet && opts.plot && lf_plot_png (png, @() draw (results)))
    printf ("plot written to %s\n", png);
  endif
endfunction

## The parameters of one curve: transport block of A bits at rate R on 2^Qm points.
function c = chain (A, R, Qm, iterations)
  c.A = A;
  c.Qm = Qm;
  c.iterations = iterations;
  c.G = Qm * round (A / (R * Qm));
  [c.bg, c.Z, c.C, c.K_prime, c.K, c.E, tb_crc, cb_crc] = NrLdpcSegment (A, R, c.G, Qm);
  c.tb_crc = merge (tb_crc == 24, "24A", "16");
  c.cb_crc = cb_crc;
  if (c.C * (c.K_prime - cb_crc) != A + tb_crc)
    error ("nr_ldpc_example: A = %d does not split into %d code blocks of equal size", A, c.C);
  endif
  c.S = nr_constellation (Qm);
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, curves, tally)
  n = numel (curves);
  sent = double (rand (1, curves{1}.A) > 0.5);
  bit_errors = zeros (1, n);
  frame_errors = zeros (1, n);
  runs = zeros (2, n);
  for i = 1:n
    c = curves{i};
    ## Transmitter: CRCs, segmentation, encoding, rate matching, modulation.
    word = CrcAttach (sent, c.tb_crc);
    if (c.C > 1)
      word = CrcAttach (reshape (word, [], c.C)', "24B");
    endif
    code = NrLdpcEncode ([word, zeros(c.C, c.K - c.K_prime)], c.bg, c.Z);
    tx = zeros (1, sum (c.E));
    ends = cumsum (c.E);
    for r = 1:c.C
      tx(ends(r) - c.E(r) + 1:ends(r)) = NrLdpcRateMatch (code(r, :), c.bg, c.Z, c.E(r), 0,
                                                          c.Qm, c.K_prime);
    endfor
    sigma = lf_noise_sigma (EbN0, c.A / c.G, c.Qm);
    y = lf_awgn (Modulate (tx, c.S), sigma);
    ## Receiver: demapping, rate recovery, decoding, CRCs.
    llr = SoftDemap (y, c.S, 1 / (2 * sigma ^ 2), 4);
    received = zeros (c.C, columns (code));
    for r = 1:c.C
      received(r, :) = NrLdpcRateRecover (llr(ends(r) - c.E(r) + 1:ends(r)), c.bg, c.Z, 0,
                                          c.Qm, c.K_prime);
    endfor
    [decided, ~, its] = NrLdpcDecode (received, c.bg, c.Z, c.iterations,
                                      "normalized-min-sum", 0.75);
    word = decided(:, 1:c.K_prime);
    if (c.C > 1)
      word = reshape (CrcCheck (word, "24B")', 1, []);
    endif
    [got, ok] = CrcCheck (word, c.tb_crc);
    bit_errors(i) = sum (got != sent);
    frame_errors(i) = ! ok || bit_errors(i) > 0;
    runs(:, i) = [sum(its); c.C];
  endfor
  bits = curves{1}.A;
  if (isKey (tally, EbN0))
    runs += tally(EbN0);
  endif
  tally(EbN0) = runs;
endfunction

## Points of the NR constellation of Qm bits (QPSK, 16-, 64-, 256-QAM), unit mean
## energy, point l + 1 carrying label l (b0 most significant): bits b0, b2, ... give
## the in-phase level, b1, b3, ... the quadrature level.
function S = nr_constellation (Qm)
  labels = 0:2^Qm - 1;
  b = mod (floor (labels' ./ 2 .^ (Qm - 1:-1:0)), 2);   # 2^Qm x Qm, b0 first
  S = complex (level (b(:, 1:2:end)), level (b(:, 2:2:end))).';
  S /= sqrt (mean (abs (S) .^ 2));
endfunction

## One axis: (1 - 2 c0) (2^(n-1) - (1 - 2 c1) (2^(n-2) - ...)), a Gray-labelled level.
function v = level (c)
  n = columns (c);
  v = 1 - 2 * c(:, 1);
  if (n > 1)
    v .*= 2 ^ (n - 1) - level (c(:, 2:end));
  endif
endfunction

## The Eb/N0 (dB) where the capacity of the curve's constellation equals its
## information bits per symbol, Qm * A / G.
function EbN0 = capacity_limit (c)
  bits = c.Qm * c.A / c.G;
  EsN0 = fzero (@(x) lf_cm_capacity (c.S, x, 32) - bits, [-5 25]);
  EbN0 = EsN0 - 10 * log10 (bits);
endfunction

function draw (results)
  n = sum (arrayfun (@(r) numel (r.labels), results));
  colours = lines (n);
  names = {};
  limits = [results.limits_dB];
  span = [min(limits), max(limits)];
  i = 0;
  for r = results
    run = r.frames > 0;
    for k = 1:numel (r.labels)
      i += 1;
      bler = r.fer(run, k);
      bler(bler == 0) = NaN;   # zero counts have no place on a log axis
      semilogy (r.EbN0_dB(run), bler, "-o", "color", colours(i, :), "linewidth", 1.5);
      hold on;
      semilogy ([1 1] * r.limits_dB(k), [1e-4 1], ":", "color", colours(i, :), "linewidth", 1.5);
      names(end+1:end+2) = {sprintf("A = %d, %s", r.A, r.labels{k}),
                            sprintf("limit %.2f dB", r.limits_dB(k))};
      span = [min([span(1), r.EbN0_dB(run)]), max([span(2), r.EbN0_dB(run)])];
    endfor
  endfor
  grid on;
  xlim (span + [-0.25 0.25]);
  ylim ([1e-4 1]);
  xlabel ("E_b/N_0 (dB)");
  ylabel ("block error rate");
  title ("5G NR LDPC block error rates beside the capacity limits, AWGN", "fontsize", 10);
  legend (names, "location", "southwest", "fontsize", 8);
endfunction
