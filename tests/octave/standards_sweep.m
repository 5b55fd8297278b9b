## Bad-input sweep of the CRC and LTE interleaver modules.

%!test assert (sweep_module ("CrcAttach", {[1 0 1 1 0 0 1 0 1; 0 1 1 0 1 0 0 1 1], "24A"}, 1) >= 80)
%!test assert (sweep_module ("CrcAttach", {zeros(2, 0), "6"}, 1) >= 80)
%!test assert (sweep_module ("CrcCheck", {[1 0 1 1 0 0 1 0 1 0 0 1 0 1 1], "6"}, 2) >= 80)
%!test assert (sweep_module ("CrcCheck", {zeros(3, 16), "16"}, 2) >= 80)
%!test assert (sweep_module ("QppPermutation", {40}, 1) >= 40)
%!test assert (sweep_module ("QppPermutation", {6144}, 1) >= 40)
