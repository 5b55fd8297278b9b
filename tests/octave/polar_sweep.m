## Bad-input sweep of the polar modules.

%!test assert (sweep_module ("PolarConstruct", {40, 64}, 1) >= 40)
%!test assert (sweep_module ("PolarEncode", {[1 0 1 1 0 1 0 0 1 1 0 1], 32}, 1) >= 40)
%!test assert (sweep_module ("PolarDecode", {randn(2, 32), 12, 32, 4, "6", 1}, 1) >= 80)
%!test assert (sweep_module ("PolarCodeLength", {64, 432, "uplink"}, 1) >= 20)
%!test assert (sweep_module ("PolarRateMatch", {double(rand(2, 32) > 0.5), 10, 50, 1}, 1) >= 40)
%!test assert (sweep_module ("PolarRateRecover", {randn(2, 50), 10, 32, 1}, 1) >= 40)
