## Bad-input sweep of the sparse-graph code modules, with fuzzed index matrices and
## corrupted decoder states: every call must return or refuse, never read or write
## outside an array.

## Each argument of VALID replaced in turn by the bad values of sweep_module, called
## with no output requested (GraphStateSetup refuses any requested output).
%!function calls = sweep_without_outputs (fcn, valid)
%! bad = {[], zeros(0, 3), zeros(3, 0), NaN, Inf, -1, 0, 0.5, 1e10, -1e10, 2^31, ...
%!        realmax, {1}, struct("a", 1), "abc", @sin, true, int8(-1), uint8(200), ...
%!        single(NaN), 1i};
%! calls = 0;
%! for i = 1:numel (valid)
%!   variants = bad;
%!   v = valid{i};
%!   if (isnumeric (v))
%!     variants(end+1:end+6) = {NaN(size (v)), -v, v * 1e9, v', [v; v], [v, v]};
%!   else
%!     variants(end+1:end+3) = {v', [v, v], v(1:floor (end / 2))};
%!   endif
%!   for j = 1:numel (variants)
%!     args = valid;
%!     args{i} = variants{j};
%!     try
%!       fcn (args{:});
%!     catch
%!     end_try_catch
%!     calls++;
%!   endfor
%! endfor
%!endfunction

%!shared H_rows3, H_cols3, Hr, Hc, x
%! H_rows3 = [1 2; 2 0; 1 0];
%! H_cols3 = [1 3; 1 2];
%! Hr = [1 2 3; 3 4 5; 1 5 6];
%! Hc = [1 3; 1 0; 1 2; 2 0; 2 3; 3 0];
%! x = [1 -2 0.5 3 -1 2];

%!test assert (sweep_module ("ParityCheckCoder", {[1 0], [1 2; 2 0]}, 1) > 50)
%!test assert (sweep_module ("ParityCheckCoder", {[1 0 1 1], [1 3 5; 2 4 6; 1 4 0; 2 3 5], eye(2)}, 1) > 100)
%!test assert (sweep_module ("SparseGraphSolve", {[1 -2 3 1 -1], H_rows3, H_cols3, 5, 0, 1, 1, [1 1]}, 2) > 100)
%!test assert (sweep_module ("SparseGraphSolve", {[1 -2 3 1 -1], H_rows3, H_cols3, 3, 1, 0.75, 0.9}, 2) > 100)
%!test assert (sweep_module ("SparseGraphSolve", {[1 -2 3 1 -1 2], [1 2; 1 0; 2 0], [1 2; 1 3; 3 0], 4}, 2) > 100)
%!test assert (sweep_module ("SparseGraphSolve", {x, Hr, Hc, 4, 0, 1, 1, [0 0 0]}, 2) > 100)
%!test assert (sweep_module ("SparseGraphDecode", {[x; -x; x], Hr, Hc, 4, 0, 1, 1, [0 0 0; 1 1 1; 0 1 0], 2}, 3) > 100)
%!test assert (sweep_module ("SparseGraphDecode", {[1 -2 3 1 -1; 2 2 2 2 2], H_rows3, H_cols3, 3, 1, 0.75, 0.9, [1 1]}, 3) > 100)

%!test
%! [vn, cn, ci, vi] = GraphStateCreate (Hr, Hc);
%! assert (sweep_without_outputs (@GraphStateSetup, {x, ci, vi, vn, cn}) > 100);
%! GraphStateSetup (x, ci, vi, vn, cn);
%! assert (sweep_module ("GraphStateStep", {-x, vn, cn, 3}, 2) > 100);

## Random index matrices, mostly inconsistent, in every layout.
%!test
%! rand ("seed", 1);
%! for trial = 1:150
%!   n = randi (8);
%!   m = randi (n + 1) - 1;
%!   e = randi (n + 2) - 1;
%!   H_rows = randi ([-1 n + 1], m, randi (4) - 1) .* (rand (m, 1) > 0.2);
%!   H_cols = randi ([-1 m + 1], e, randi (4) - 1);
%!   try
%!     SparseGraphSolve (randn (1, n), H_rows, H_cols, 3, mod (trial, 2));
%!   catch
%!   end_try_catch
%! endfor

## Corrupted states: every index, socket and degree field, one at a time.
%!test
%! rand ("seed", 2);
%! for trial = 1:150
%!   [vn, cn, ci, vi] = GraphStateCreate (Hr, Hc);
%!   GraphStateSetup (x, ci, vi, vn, cn);
%!   if (rand () < 0.5)
%!     e = randi (6);
%!     f = randi (6);
%!     value = vn(e).(fieldnames (vn){f});
%!     value(randi (max (numel (value), 1))) = randi ([-3 8]);
%!     vn(e).(fieldnames (vn){f}) = cast (value, class (vn(e).(fieldnames (vn){f})));
%!   else
%!     e = randi (3);
%!     f = randi (4);
%!     value = cn(e).(fieldnames (cn){f});
%!     value(randi (max (numel (value), 1))) = randi ([-3 8]);
%!     cn(e).(fieldnames (cn){f}) = cast (value, class (cn(e).(fieldnames (cn){f})));
%!   endif
%!   try
%!     GraphStateStep (-x, vn, cn, 3);
%!   catch
%!   end_try_catch
%!   try
%!     GraphStateSetup (x, ci, vi, vn, cn);
%!   catch
%!   end_try_catch
%! endfor
