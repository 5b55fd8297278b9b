## results = ldpc_example (...)
##
## A random rate-1/2 staircase LDPC code (data columns of weight 3) over BPSK/AWGN,
## encoded by ParityCheckCoder and decoded by flooding message passing:
##   sum-product after 2, 5, 10 and 50 iterations   SparseGraphSolve, dec_type 0
##   min-sum after 50 iterations                     SparseGraphSolve, dec_type 1,
##                                                   check messages scaled by 0.75
##   graph state after 10 iterations                 GraphStateSetup once, then one
##                                                   GraphStateStep per iteration: the
##                                                   sum-product iterations again, up to
##                                                   rounding and without early stop
## One SparseGraphSolve call gives the decisions and data-bit error counts after every
## iteration (it stops once the data are right, so later counts are 0); the graph-state
## decoder runs the same sum-product iterations one host call at a time. At the end the
## mean number of data-bit errors per frame after each iteration is printed.
## The decoders take ln(P(0)/P(1)): positive favours 0.
##
## Parameters (name/value pairs or a struct): those of lf_defaults, with a point ending
## at 50 frame errors on every curve or after 80 frames (about a minute in all), and
##   k           data bits per frame (the code has n = 2k), default 1000
##   iterations  sum-product and min-sum iterations, default 50
## Example: ldpc_example ("EbN0_dB", 1:0.25:2, "k", 500)
function results = ldpc_example (varargin)
  defaults = lf_defaults (0.5:0.25:2.5);
  defaults.k = 1000;
  defaults.iterations = 50;
  defaults.max_frames = 80;
  opts = lf_options (defaults, varargin);
  rand ("seed", opts.seed);
  randn ("seed", opts.seed);
  p.code = lf_ldpc_code (opts.k, opts.k, 3);
  p.iterations = opts.iterations;
  p.shown = unique (min ([2 5 10 p.iterations], p.iterations));
  p.state_iterations = min (10, p.iterations);
  [p.vn, p.cn, p.check_index, p.var_index] = GraphStateCreate (p.code.H_rows_full,
                                                               p.code.H_cols_full);
  labels = [arrayfun(@(t) sprintf ("sum-product %d it", t), p.shown, "uniformoutput", false), ...
            {sprintf("min-sum %d it", p.iterations), ...
             sprintf("graph state %d it", p.state_iterations)}];
  title = sprintf ("Staircase LDPC code, n = %d, rate 1/2, BPSK/AWGN", p.code.n);
  global ldpc_example_errors;
  ldpc_example_errors = zeros (2, p.iterations);
  results = lf_simulate ("ldpc_staircase", title, labels, opts.EbN0_dB,
                         @(EbN0) frame (EbN0, p), opts);
  if (! opts.quiet)
    lf_report (results, opts, lf_bpsk_limit (1 / 2), "BPSK limit, R = 1/2");
    frames = sum (results.frames);
    printf ("\nMean data-bit errors per frame after each iteration (%d frames, all points):\n",
            frames);
    printf ("%10s %12s %12s\n", "iteration", "sum-product", "min-sum");
    shown = unique ([1:min(10, p.iterations), 15:5:p.iterations, p.iterations]);
    printf ("%10d %12.2f %12.2f\n", [shown; ldpc_example_errors(:, shown) / frames]);
  endif
endfunction

function [bit_errors, frame_errors, bits] = frame (EbN0, p)
  global ldpc_example_errors;
  k = p.code.k;
  data = double (rand (1, k) > 0.5);
  codeword = ParityCheckCoder (data, p.code.H_rows);
  sigma = lf_noise_sigma (EbN0, 1 / 2, 1);
  llr = 2 * lf_awgn (1 - 2 * codeword, sigma) / sigma ^ 2;   # ln(P(0)/P(1))
  [~, sp_errors] = SparseGraphSolve (llr, p.code.H_rows, p.code.H_cols, p.iterations, 0,
                                     1, 1, data);
  [~, ms_errors] = SparseGraphSolve (llr, p.code.H_rows, p.code.H_cols, p.iterations, 1,
                                     0.75, 1, data);
  ldpc_example_errors += [sp_errors'; ms_errors'];
  GraphStateSetup (llr, p.check_index, p.var_index, p.vn, p.cn);
  for it = 1:p.state_iterations
    [~, decided] = GraphStateStep (-llr, p.vn, p.cn, p.code.m);
  endfor
  bit_errors = [sp_errors(p.shown)', ms_errors(end), sum(decided(1:k) != data)];
  frame_errors = bit_errors > 0;
  bits = k;
endfunction
