## Bad-input sweep of the double-binary circular code modules.

%!shared p, inx, inz
%! p = [1 0 1 1; 1 0 0 1];
%! inx = [1 -1 0.5 2 0 -3; 0.25 0 -2 1 1 0; 2 -1 0 0.5 3 1];
%! inz = [2 0 1 -1 0.5 0.5; -1 0.5 0.5 0 2 1; 0 1 -2 1 1 0];

%!test assert (sweep_module ("CircularPairCoder", {[1 0 0 1 1 1 0 0 1 0], p}, 2) > 80)
%!test assert (sweep_module ("CircularPairCoder", {[1 0; 0 1; 1 1; 0 0; 1 0]', p}, 2) > 80)
%!test assert (sweep_module ("CircularPairPosterior", {inx, inz, p, 1}, 3) > 100)
%!test assert (sweep_module ("CircularPairPosterior", {inx, inz, p, 4}, 3) > 100)
%!test assert (sweep_module ("CircularPairPosterior", {inx(:, 1), inz(:, 1), p, 0}, 3) > 100)
%!test assert (sweep_module ("CircularTurboDecode", {[inx(:)'; inz(:)'], [inz(:)'; inx(:)'], [inx(:)'; inx(:)'], p, [3 0 5 1 4 2], [1 0 1 0 1 0], 2, 4, 1}, 1) > 100)
