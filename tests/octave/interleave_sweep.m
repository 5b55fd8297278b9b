## Bad-input sweep of the permutation modules.

%!test assert (sweep_module ("WcdmaPermutation", {40}, 2) >= 40)
%!test assert (sweep_module ("WcdmaPermutation", {5114}, 2) >= 40)
%!test assert (sweep_module ("SpaceLinkPermutation", {1784}, 1) >= 40)
%!test assert (sweep_module ("SpreadPermutation", {10, 2}, 1) >= 80)
%!test assert (sweep_module ("SpreadPermutation", {100, 3}, 1) >= 80)
%!test assert (sweep_module ("SpreadPermutation", {0, 3}, 1) >= 80)
%!test assert (sweep_module ("Interleave", {[10 20 30 40], [2 0 3 1]}, 1) >= 80)
%!test assert (sweep_module ("Interleave", {[1.5 -2 3; 4 5 6], [2 0 1]}, 1) >= 80)
%!test assert (sweep_module ("Deinterleave", {[10 20 30 40], [2 0 3 1]}, 1) >= 80)
%!test assert (sweep_module ("Deinterleave", {zeros(1, 0), zeros(1, 0)}, 1) >= 80)
