## Bad-input sweep of the rate adaptation modules. The valid sizes are chosen so that
## the scaled variants (counts times 1e9) ask for terabytes and are refused on any host.

%!test assert (sweep_module ("Puncture", {ones(2, 64), [1 2; 1 0], ones(2, 8)}, 1) >= 100)
%!test assert (sweep_module ("Puncture", {ones(4, 64), [1 2; 1 0; 0 1; 1 1], ones(4, 8)}, 1) >= 100)
%!test assert (sweep_module ("Puncture", {ones(1, 64), [1 2], []}, 1) >= 100)
%!test assert (sweep_module ("Depuncture", {ones(1, 100), [1 2; 1 0], ones(2, 8)}, 1) >= 100)
%!test assert (sweep_module ("Depuncture", {ones(1, 100), [1 2; 1 0; 0 1; 1 1], ones(4, 8)}, 1) >= 100)
%!test assert (sweep_module ("Depuncture", {ones(1, 64), [1 2], []}, 1) >= 100)
%!test assert (sweep_module ("BitCountAdapt", {[1.5 2.5 3.5 4.5 5.5], 5, 5, 10, 4}, 1) >= 150)
%!test assert (sweep_module ("BitCountAdapt", {zeros(1, 0), 0, 5, 10, 4}, 1) >= 150)
%!test assert (sweep_module ("BitCountRestore", {[1.5 3.5 5.5], 5, 5, 10, 4}, 1) >= 150)
%!test assert (sweep_module ("BitCountRestore", {ones(1, 200), 300, 300, 600, 200}, 1) >= 150)
