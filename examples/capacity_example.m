## results = capacity_example (...)
##
## Capacity of BPSK, QPSK, 8-PSK (Gray labelled, lf_psk), 16-QAM and 64-QAM (lf_qam)
## over AWGN against Es/N0, estimated by Monte Carlo: random bits are mapped to points
## of unit average energy (Modulate), sent through complex white Gaussian noise of
## variance N0 = 1 / (Es/N0) (lf_awgn), demodulated into symbol log-likelihoods
## (PlaneMetrics) and handed to Capacity with the bits that were sent; Capacity
## returns the average mutual information divided by log2 M, here multiplied back
## into bits per symbol. The unconstrained Gaussian-input capacity log2(1 + Es/N0) is
## the reference. lf_cm_capacity computes the same curves by numerical integration.
##
## The curves then serve as tables for a block-fading Rayleigh channel: every block
## of symbols sees one fading coefficient a (lf_rayleigh, E|a|^2 = 1), so it carries
## what the AWGN channel carries at gamma = |a|^2 Es/N0. InfoRateTable reads the
## capacities of many blocks from the AWGN curve (table: the point (0, 0) followed by
## the curve against linear Es/N0, slopes from its differences, so the lookup is
## linear interpolation) and sums them; divided by the number of blocks this is the
## average (ergodic) capacity of the faded channel at each average Es/N0 of
## FADING_ESN0_DB. The Gaussian-input reference is E[log2(1 + gamma)] = log2(e)
## exp(1/rho) E1(1/rho) at average Es/N0 rho.
##
## Prints both tables, writes capacity.csv, capacity_fading.csv and, when PLOT is set,
## capacity.png (bits per symbol against Es/N0 in dB) to OUTPUT_DIR. Both CSV files
## begin with the parameters of the run as "# name = value" comment lines, seed
## included, before the header row, as lf_report's do; the same parameters and seed give
## the same files.
##
## Parameters (name/value pairs or a struct):
##   EsN0_dB         Es/N0 points of the AWGN curves (dB), default -10:1:30
##   symbols         symbols per point and signal set, default 200000
##   fading_EsN0_dB  average Es/N0 of the block-fading channel (dB), default 0:5:20
##   blocks          fading blocks drawn per average Es/N0, default 20000
##   quiet, output_dir, plot, seed   as in lf_defaults
## Returns the Es/N0 points, the labels, points and bits per symbol of the signal sets, the
## capacities (points x sets, bits per symbol), the Gaussian reference, and a struct
## FADING with the average Es/N0 values, the capacities (values x sets) and its
## Gaussian reference.
## Example: capacity_example ("EsN0_dB", -5:2.5:25, "symbols", 20000)
function results = capacity_example (varargin)
  defaults = struct ("EsN0_dB", -10:1:30, "symbols", 200000, "fading_EsN0_dB", 0:5:20,
                     "blocks", 20000, "quiet", false, "output_dir", "results", "plot", true,
                     "seed", 1);
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  sets = {lf_psk(2), lf_psk(4), lf_psk(8), lf_qam(16), lf_qam(64)};
  labels = {"BPSK", "QPSK", "8-PSK", "16-QAM", "64-QAM"};
  EsN0_dB = opts.EsN0_dB(:)';
  results = struct ("name", "capacity", "EsN0_dB", EsN0_dB, "labels", {labels},
                    "sets", {sets},
                    "bits_per_symbol", cellfun (@(S) log2 (numel (S)), sets),
                    "capacity", zeros (numel (EsN0_dB), numel (sets)),
                    "gaussian", log2 (1 + 10 .^ (EsN0_dB(:) / 10)));
  start = tic ();
  for s = 1:numel (sets)
    for p = 1:numel (EsN0_dB)
      results.capacity(p, s) = awgn_capacity (sets{s}, EsN0_dB(p), opts.symbols);
      if (! opts.quiet)
        printf ("\r  %-7s %6.2f dB  %6.4f bits per symbol  %5.1f s", labels{s}, EsN0_dB(p),
                results.capacity(p, s), toc (start));
        fflush (stdout);
      endif
    endfor
  endfor
  if (! opts.quiet)
    printf ("\n");
  endif

  ## Block fading read from the AWGN curves.
  rho = 10 .^ (opts.fading_EsN0_dB(:)' / 10);
  table = [0, 10 .^ (EsN0_dB / 10)];
  gain = abs (lf_rayleigh (1, opts.blocks)) .^ 2;
  fading = zeros (numel (rho), numel (sets));
  for s = 1:numel (sets)
    curve = [0, results.capacity(:, s)'];
    slope = diff (curve) ./ diff (table);
    fading(:, s) = InfoRateTable (table, curve, slope, rho' * gain) / opts.blocks;
  endfor
  results.fading = struct ("EsN0_dB", opts.fading_EsN0_dB(:)', "capacity", fading,
                           "gaussian", log2 (e) * exp (1 ./ rho') .* expint (1 ./ rho'));

  if (! opts.quiet)
    report (results, opts);
  endif
endfunction

## Monte-Carlo capacity (bits per symbol) of the signal set S at one Es/N0.
function c = awgn_capacity (S, EsN0_dB, symbols)
  m = log2 (numel (S));
  EsN0 = 10 ^ (EsN0_dB / 10);
  bits = double (rand (1, m * symbols) > 0.5);
  y = lf_awgn (Modulate (bits, S), sqrt (1 / (2 * EsN0)));
  c = m * Capacity (PlaneMetrics (y, S, EsN0), bits);
endfunction

function report (r, opts)
  print_table ("Capacity over AWGN (bits per symbol, Monte Carlo)", r.EsN0_dB,
               [r.capacity, r.gaussian], [r.labels, {"log2(1+SNR)"}]);
  f = r.fading;
  print_table ("Average capacity of block-fading Rayleigh channels (bits per symbol)",
               f.EsN0_dB, [f.capacity, f.gaussian], [r.labels, {"Gaussian"}]);

  if (! exist (opts.output_dir, "dir"))
    mkdir (opts.output_dir);
  endif
  stem = fullfile (opts.output_dir, r.name);
  write_csv ([stem ".csv"], [r.EsN0_dB(:), r.capacity, r.gaussian],
             [r.labels, {"Gaussian"}], opts);
  write_csv ([stem "_fading.csv"], [f.EsN0_dB(:), f.capacity, f.gaussian],
             [r.labels, {"Gaussian"}], opts);
  printf ("results written to %s.csv and %s_fading.csv\n", stem, stem);
  if (opts.plot && lf_plot_png ([stem ".png"], @() draw (r)))
    printf ("plot written to %s.png\n", stem);
  endif
endfunction

function print_table (title, EsN0_dB, values, labels)
  printf ("\n%s\n%9s", title, "Es/N0");
  printf ("%13s", labels{:});
  printf ("\n");
  for p = 1:numel (EsN0_dB)
    printf ("%6.2f dB", EsN0_dB(p));
    printf ("%13.4f", values(p, :));
    printf ("\n");
  endfor
endfunction

## The parameters of the run as "# name = value" lines (lf_write_parameters), the header
## row, then the values: the same layout as lf_report's files.
function write_csv (file, values, labels, opts)
  fid = fopen (file, "w");
  if (fid < 0)
    error ("cannot write %s", file);
  endif
  lf_write_parameters (fid, opts);
  fprintf (fid, "EsN0_dB");
  fprintf (fid, ",%s bits per symbol", labels{:});
  fprintf (fid, "\n");
  fprintf (fid, [repmat("%.6g,", 1, columns (values) - 1) "%.6g\n"], values');
  fclose (fid);
endfunction

function draw (r)
  colours = lines (numel (r.labels));
  for s = 1:numel (r.labels)
    plot (r.EsN0_dB, r.capacity(:, s), "-", "color", colours(s, :), "linewidth", 1.5);
    hold on;
  endfor
  plot (r.EsN0_dB, r.gaussian, "k:", "linewidth", 1.5);
  grid on;
  xlim ([min(r.EsN0_dB), max(r.EsN0_dB)]);
  ylim ([0, max(r.bits_per_symbol) + 0.5]);
  xlabel ("E_s/N_0 (dB)");
  ylabel ("bits per symbol");
  title ("Capacity over AWGN (Monte Carlo)", "fontsize", 9);
  legend ([r.labels, {"log_2(1 + E_s/N_0)"}], "location", "eastoutside");
endfunction
