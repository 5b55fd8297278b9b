## Policies every module shares: the memory budget, the refusal of NaN and overflowing
## soft values, and the limits that only memory sets.

## Calls that would take most of a machine are refused before they allocate, each in a
## moment, with a message that says what the call would need.
%!test
%! expect_memory_refusal (@() TrellisCoder ([1 0 1], ones (2, 30)), "the (encoder|trellis of g_encoder)");
%! x = [1 -1 1 -1 1 -1];
%! Hr = [1 2 3; 3 4 5; 1 5 6];
%! Hc = [1 3; 1 0; 1 2; 2 0; 2 3; 3 0];
%! expect_memory_refusal (@() SparseGraphSolve (x, Hr, Hc, 2e8), "the decoder");
%! expect_memory_refusal (@() Depuncture (ones (1, 1000), [1 zeros(1, 1e6 - 1)], []), "the output");
%! expect_memory_refusal (@() BitCountRestore (zeros (1, 0), 1e9, 1, 1, 1), "the output");
%! expect_memory_refusal (@() TrellisBestPath (zeros (1, 56), ones (2, 28), 0), "the (decoder|trellis of g_encoder)");
%! tic;
%! expect_memory_refusal (@() TrellisBestPath (ones (1, 8), [1 1 1; 1 0 1], 2, 1e9), "the decoder");
%! assert (toc < 2);

## The budget is read at every call from LINKFORGE_MEMORY_BUDGET; the message names it.
%!test
%! unwind_protect
%!   setenv ("LINKFORGE_MEMORY_BUDGET", "1M");
%!   g = [1 0 1 1; 1 1 0 1];
%!   try
%!     TrellisPosterior (zeros (1, 20000), zeros (1, 2 * 20003), g);
%!     error ("the budget was not applied");
%!   catch err
%!     assert (err.identifier, "linkforge:TrellisPosterior");
%!     assert (regexp (err.message, ['^TrellisPosterior: the decoder would need [\d.]+ MiB of memory, ' ...
%!                                   'more than the memory budget of 1 MiB; raise it with setenv ' ...
%!                                   '\("LINKFORGE_MEMORY_BUDGET", "8G"\) or in the environment$']), 1);
%!   end_try_catch
%!   setenv ("LINKFORGE_MEMORY_BUDGET", "16M");
%!   assert (size (TrellisPosterior (zeros (1, 20000), zeros (1, 2 * 20003), g)), [1 20000]);
%!   setenv ("LINKFORGE_MEMORY_BUDGET", "plenty");
%!   expect_error (@() SpreadPermutation (10, 0), "LINKFORGE_MEMORY_BUDGET = 'plenty' is not a size such as 4G or 512M");
%! unwind_protect_cleanup
%!   unsetenv ("LINKFORGE_MEMORY_BUDGET");
%! end_unwind_protect

## The whole decoders count working memory for the threads that get frames, not for
## every thread asked for: one frame with threads = 1024 fits a budget its one group fits.
%!test
%! unwind_protect
%!   setenv ("LINKFORGE_MEMORY_BUDGET", "64M");
%!   L = 5114;  g = [1 0 1 1; 1 1 0 1];  z = zeros (1, L);
%!   assert (TurboDecode (z, z, z, zeros (1, 12), g, 0:L-1, 1, 1, 1024), zeros (1, L));
%!   assert (size (ViterbiDecode (zeros (1, 2 * 4102), [1 0 1 1 0 1 1; 1 1 1 1 0 0 1], 1, 6, 1024)), [1 4096]);
%!   N = 752;  poly = [1 1 0 1; 1 0 0 1];  Z = zeros (1, 3 * N);
%!   assert (size (CircularTurboDecode (Z, Z, Z, poly, 0:N-1, zeros (1, N), 1, 1, 1024)), [1 3 * N]);
%!   assert (size (SoftDemap (zeros (1, 4096), [-1 1], 1, 1, [], [], 1024)), [1 4096]);
%!   setenv ("LINKFORGE_MEMORY_BUDGET", "1M");
%!   expect_memory_refusal (@() TurboDecode (z, z, z, zeros (1, 12), g, 0:L-1, 1, 1, 1024), "the decoder");
%! unwind_protect_cleanup
%!   unsetenv ("LINKFORGE_MEMORY_BUDGET");
%! end_unwind_protect

## A NaN soft value is an upstream fault and a value beyond single precision breaks the
## decoders' arithmetic: every module that reads soft values refuses both.
%!test
%! g = [1 1 1; 1 0 1];
%! poly = [1 1 0 1; 1 0 0 1];
%! Hr = [1 2 3; 3 4 5; 1 5 6];
%! Hc = [1 3; 1 0; 1 2; 2 0; 2 3; 3 0];
%! [vn, cn, ci, vi] = GraphStateCreate (Hr, Hc);
%! calls = {
%!   @(v) TrellisPosterior ([0 v 0], zeros (1, 10), g),          "input_u";
%!   @(v) TrellisPosterior (zeros (1, 3), [zeros(1, 9) v], g),   "input_c";
%!   @(v) TrellisBestPath ([1 v 1 1 1 1], g, 1),                 "input_c";
%!   @(v) TrellisBestPath ([1 v 1 1 1 1], g, 2),                 "input_c";
%!   @(v) CircularPairPosterior ([0 0; v 0; 0 0], zeros (3, 2), poly, 1), "inx";
%!   @(v) CircularPairPosterior (zeros (3, 2), [0 0; 0 0; 0 v], poly, 1), "inz";
%!   @(v) SparseGraphSolve ([1 1 v 1 1 1], Hr, Hc),              "input";
%!   @(v) GraphStateSetup ([1 1 v 1 1 1], ci, vi, vn, cn),       "input";
%!   @(v) GraphStateStep ([1 1 v 1 1 1], vn, cn, 3),             "input";
%!   @(v) SymbolBitMetrics ([0 0; v 0], 1),                      "input";
%!   @(v) SymbolBitMetrics ([0 0; 1 0], 4, [1 v]),               "extrinsic_info";
%!   @(v) RelayLabelMetrics ([0 0 v 0], 2),                      "sym_log_likelihood";
%!   @(v) RelayLabelMetrics ([0 0 0 0], 2, 1, v),                "extrinsic_info";
%!   @(v) Capacity ([1 v 1], [1 0 1]),                           "input";
%!   @(v) Capacity ([1 0; v 1], [1 0]),                          "input"};
%! for i = 1:rows (calls)
%!   [f, name] = calls{i, :};
%!   f (1);   # the call itself is valid
%!   expect_error (@() f (NaN), [name " must not contain NaN"], 0);
%!   for v = [Inf, -Inf, 3.5e38, -1e300]
%!     expect_error (@() f (v), [name " holds a value beyond the single-precision range"], 0);
%!   endfor
%! endfor
%! ## The largest single-precision magnitude is still a value.
%! assert (all (isfinite (TrellisPosterior ([0 3.4e38 0], zeros (1, 10), g))));

## Ratios that a demodulator divides by must be positive: a negative Es/N0 is usually one
## given in dB.
%!test
%! t = abs (randn (4, 3));
%! es_no = "EsNo must be a positive number (a linear ratio, not dB)";
%! for bad = [-1, 0, NaN, Inf, 1e-50]
%!   expect_error (@() ToneMetrics (t, bad, 2), es_no);
%!   expect_error (@() RelayFrequencyMetrics (t, bad, 1, ones (1, 3), ones (1, 3), 1, 1, 0), es_no);
%! endfor
%! expect_error (@() RelayFrequencyMetrics (t, 1, 2, ones (1, 3), ones (1, 3), 0, 1, 0), "sqE1 must be a positive number when csi_flag is 2");
%! expect_error (@() RelayFrequencyMetrics (t, 1, 2, ones (1, 3), ones (1, 3), 1, -1, 0), "sqE2 must be a positive number when csi_flag is 2");
%! assert (all (isfinite (RelayFrequencyMetrics (t, 1, 2, ones (1, 3), ones (1, 3), 1, 1, 0))));
%! ## The energies are not read by the coefficient model.
%! assert (all (isfinite (RelayFrequencyMetrics (t, 1, 1, ones (1, 3), ones (1, 3), 0, 0, 0))));

## Spread permutations: any length memory allows, and a seeded form that repeats.
%!test
%! a = SpreadPermutation (70000, 4);
%! assert (sort (a), 0:69999);
%! w = a(1:end - 3) - a(4:end);
%! assert (min (abs ([w, a(1:end - 1) - a(2:end)])) >= 4);
%! a = SeededSpreadPermutation (500, 8, 17);
%! assert (a, SeededSpreadPermutation (500, 8.9, 17.5));
%! assert (! isequal (a, SeededSpreadPermutation (500, 8, 18)));
%! assert (sort (a), 0:499);
%! assert (size (SeededSpreadPermutation (0, 3, 1)), [1 0]);
%! usage = "[alpha] = SeededSpreadPermutation( Length, S, seed )";
%! expect_error (@() SeededSpreadPermutation (10, 2), usage);
%! expect_error (@() SeededSpreadPermutation (10, 2, 1), usage, 2);
%! for seed = [0, -5, 2147483563]
%!   expect_error (@() SeededSpreadPermutation (10, 2, seed), "seed must be a whole number from 1 to 2147483562");
%! endfor
%! expect_error (@() SeededSpreadPermutation (10, 2, NaN), "seed must be a finite number");
%! expect_error (@() SeededSpreadPermutation (1, 0, 3), "no transposition can be accepted: Length must be at least 2 and S below Length - 1");
