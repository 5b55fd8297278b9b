## Bad-input sweep of the binary convolutional code modules.

%!shared g
%! g = [1 1 1; 1 0 1];

%!test assert (sweep_module ("TrellisCoder", {[1 0 1 1], g, 0}, 1) > 100)
%!test assert (sweep_module ("TrellisCoder", {[1 0 1 1], g, 2}, 1) > 100)
%!test assert (sweep_module ("TrellisPosterior", {zeros(1, 4), ones(1, 12), g, 1, 4}, 2) > 100)
%!test assert (sweep_module ("TrellisBestPath", {ones(1, 12), g, 1}, 1) > 100)
%!test assert (sweep_module ("TrellisBestPath", {ones(1, 8), g, 2, 3}, 1) > 100)
%!test
%! g4 = [1 0 1 1; 1 1 0 1];
%! valid = {ones(3, 8), ones(3, 8), ones(3, 8), ones(3, 12), g4, [7 6 5 4 3 2 1 0], 2, 1, 1, 1};
%! assert (sweep_module ("TurboDecode", valid, 3) > 100)
%!test assert (sweep_module ("ViterbiDecode", {ones(3, 12), g, 1, 6, 1}, 1) > 100)
%!test assert (sweep_module ("ViterbiDecode", {ones(3, 8), g, 2, 3, 2}, 1) > 100)
