## Bad-input sweep of the capacity modules.

%!shared L, E, C, D
%! L = [0 -1 2; 0.5 3 -2; -1 0 1; 2 -0.5 0];
%! E = [0 2 4 6 8];
%! C = [0.2 0.4 0.6 0.75 0.85];
%! D = diff (C) ./ diff (E);

%!test assert (sweep_module ("Capacity", {L, [0 1 1 0 1 1]}, 1) > 80)
%!test assert (sweep_module ("Capacity", {[2 -1 0.5 3], [1 0 1 1]}, 1) > 80)
%!test assert (sweep_module ("Capacity", {[L; L], [0 1 1 0 1 1 0 0 1]}, 1) > 80)
%!test assert (sweep_module ("InfoRateTable", {E, C, D, [1 5 9; -1 3 4.5]}, 1) > 100)
%!test assert (sweep_module ("InfoRateTable", {3, 0.5, zeros(1, 0), [1 5 9]}, 1) > 100)
