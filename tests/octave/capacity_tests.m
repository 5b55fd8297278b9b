## Capacity and InfoRateTable through the host: worked values, messages, a Monte-Carlo
## estimate against the constellation-constrained capacity computed by quadrature, and
## the table lookup against interp1.

## Capacity, binary form
%!assert (Capacity ([10 -10], [1 0]), 1 - log (1 + exp (-10)) / log (2), 1e-7)
%!assert (Capacity ([0 0 0], [1 0 1]), 1 - double (single (log (2))) / log (2))
%!test
%! w = golden ("capacity_binary");
%! for k = 1:numel (w.llr)
%!   assert (abs (Capacity (w.llr{k}, w.bits{k}) - w.capacity{k}) < w.tolerance{k});
%! endfor
%!assert (Capacity (3, 0.5), Capacity (3, 1))
%!assert (Capacity (3, -1), Capacity (3, 0))
%!assert (Capacity (3, 0), 1 - log (1 + exp (3)) / log (2), 1e-6)
%!test expect_error (@() Capacity (zeros (1, 0), zeros (1, 0)), "input must hold at least one symbol")
%!assert (Capacity (single ([10 -10]), logical ([1 0])), Capacity ([10 -10], [1 0]))
%!assert (Capacity ([10 -10], [1 0], "ignored"), Capacity ([10 -10], [1 0]))

## Capacity, symbol form
%!assert (Capacity (repmat ([100; 0; 0; 0], 1, 500), zeros (1, 1000)), 1)
%!assert (Capacity (repmat ([0; 0; 100; 0], 1, 500), repmat ([1 0], 1, 500)), 1)
%!assert (abs (Capacity (2.5 * ones (4, 20), ones (1, 40))) < 1e-7)
%!assert (Capacity ([0; 1; 0], 1), 1 - log (exp (-1) + 1 + exp (-1)) / log (3), 1e-7)
%!assert (Capacity ([0 3; 1 -2], [1 0]), Capacity ([1 -5], [1 0]), 1e-6)   # two labels: binary form
%!assert (Capacity ([0 1; 2 0; 0 0; 1 0], [0.5 1 1 0]), Capacity ([0 1; 2 0; 0 0; 1 0], [0 1 1 0]))
%!test
%! usage = "Usage: [output] = capacity( input, data )";
%! expect_error (@() Capacity ([1 2]), usage);
%! expect_error (@() Capacity (), usage);
%! expect_error (@() Capacity (zeros (4, 2), [0 1; 1 0]), "data must be a row vector");
%! expect_error (@() Capacity (zeros (4, 2), zeros (0, 0)), "data must be a row vector");
%! expect_error (@() Capacity (zeros (4, 2), zeros (4, 1)), "data must be a row vector");
%! expect_error (@() Capacity (zeros (4, 3), zeros (1, 5)), "Number of bits does not divide log_2(M)");
%! expect_error (@() Capacity (zeros (4, 3), zeros (1, 4)), "Number of bits inconsistent with number of symbols");
%! expect_error (@() Capacity (zeros (1, 3), zeros (1, 4)), "Number of bits inconsistent with number of symbols");
%! expect_error (@() Capacity (zeros (0, 3), zeros (1, 3)), "input must have at least one row");
%! expect_error (@() Capacity (zeros (4, 1), [1 2]), "data bits give a label outside 0 to M-1");
%! expect_error (@() Capacity (zeros (4, 1), [0 -1]), "data bits give a label outside 0 to M-1");
%! expect_error (@() Capacity (zeros (4, 1), [NaN 0]), "data bits give a label outside 0 to M-1");
%! expect_error (@() Capacity (zeros (3, 1), 3), "data bits give a label outside 0 to M-1");
%! assert (Capacity ([0; 1; 0], 2), 1 - log (1 + exp (1) + 1) / log (3), 1e-7);  # label 2 exists
%! expect_error (@() Capacity (zeros (4, 2), {1}), "data must be a numeric or logical array, not cell");

## Monte Carlo (Modulate, noise, PlaneMetrics, Capacity) against the capacity of the
## constellation on the Gaussian channel by Gauss-Hermite quadrature:
##   C = log2 M - (1/M) sum_k E_z log2 sum_l exp(-EsNo (|s_k - s_l + z|^2 - |z|^2)),
## z complex Gaussian of variance 1/EsNo. The estimate is the mean of independent
## batches, compared within four standard errors of that mean.
%!function c = quadrature_capacity (s, es)
%!  n = 48;
%!  J = diag (sqrt ((1:n-1) / 2), 1);
%!  [V, X] = eig (J + J');
%!  x = diag (X); w = sqrt (pi) * V(1, :)' .^ 2;
%!  [xr, xi] = meshgrid (x, x); [wr, wi] = meshgrid (w, w);
%!  z = (xr(:) + 1i * xi(:)) / sqrt (es);    # real and imaginary parts of variance 1/(2 es)
%!  wz = wr(:) .* wi(:) / pi;
%!  M = numel (s); acc = 0;
%!  for k = 1:M
%!    d = s(k) - s(:).' + z;                  # points x nodes
%!    e = -es * (abs (d) .^ 2 - abs (z) .^ 2);
%!    top = max (e, [], 2);
%!    acc += wz' * (top + log (sum (exp (e - top), 2))) / log (2);
%!  endfor
%!  c = log2 (M) - acc / M;
%!endfunction
%!function [estimate, err] = monte_carlo_capacity (s, es, batches, symbols)
%!  m = log2 (numel (s));
%!  c = zeros (1, batches);
%!  for b = 1:batches
%!    bits = double (rand (1, symbols * m) > 0.5);
%!    x = Modulate (bits, s);
%!    y = x + sqrt (0.5 / es) * complex (randn (size (x)), randn (size (x)));
%!    c(b) = Capacity (PlaneMetrics (y, s, es), bits);
%!  endfor
%!  estimate = mean (c);
%!  err = std (c) / sqrt (batches);
%!endfunction
%!test
%! randn ("state", 11); rand ("state", 11);
%! qam = [-3 -1 3 1];                              # Gray levels
%! [re, im] = meshgrid (qam, qam);
%! sets = {[-1 1], [1+1i, 1-1i, -1+1i, -1-1i]/sqrt(2), exp(2i*pi*(0:7)/8), ...
%!         (re(:) + 1i*im(:)).'/sqrt(10)};
%! for k = 1:numel (sets)
%!   s = sets{k};
%!   m = log2 (numel (s));
%!   for EsNo_dB = [0 6 12]
%!     es = 10 ^ (EsNo_dB / 10);
%!     exact = quadrature_capacity (s, es) / m;
%!     [estimate, err] = monte_carlo_capacity (s, es, 12, 4000);
%!     assert (abs (estimate - exact) < 4 * err + 1e-4, ...
%!             sprintf ("M = %d at %d dB: %.5f against %.5f (standard error %.1e)", ...
%!                      numel (s), EsNo_dB, estimate, exact, err));
%!   endfor
%! endfor
%!test
%! ## BPSK in the binary form: log-likelihood ratios L(1) - L(0) give the same estimate
%! randn ("state", 12); rand ("state", 12);
%! bits = double (rand (1, 20000) > 0.5);
%! es = 10 ^ (2 / 10);
%! y = Modulate (bits, [-1 1]) + sqrt (0.5 / es) * complex (randn (1, 20000), randn (1, 20000));
%! L = PlaneMetrics (y, [-1 1], es);
%! assert (Capacity (L(2, :) - L(1, :), bits), Capacity (L, bits), 1e-6);
%! assert (abs (Capacity (L, bits) - quadrature_capacity ([-1 1], es)) < 0.01);

## InfoRateTable
%!shared E, C, D
%! E = [0 10]; C = [0 1]; D = 0.1;
%!assert (InfoRateTable (E, C, D, [5; 10; 20; 0; -3]), [0.5; 1; 1; 0; 0])
%!assert (InfoRateTable (E, C, D, [5 20]), 1.5)
%!assert (InfoRateTable (2, 0.75, zeros (1, 0), [2 3; 1.9 -1]), [1.5; 0])
%!assert (InfoRateTable ([0 1 3], [0 0.5 0.9], [0.4 0.25], 1), 0.4)
%!assert (InfoRateTable (E, C, D, zeros (3, 0)), zeros (3, 1))
%!assert (size (InfoRateTable (E, C, D, zeros (0, 4))), [0 1])
%!assert (InfoRateTable (E, C, D, [NaN 5]), 0.5)
%!assert (InfoRateTable (single (E), int8 (C), single (D), int32 ([5 20])), 1.5, 1e-7)
%!assert (InfoRateTable (E, C, D, [5 20], "ignored"), 1.5)
%!test
%! ## inside the table: linear interpolation; outside: 0 below, the last capacity above
%! E = 0:2:20;
%! C = 1 - exp (-E / 6);
%! D = diff (C) ./ diff (E);
%! randn ("state", 13);
%! gamma = 20 * rand (7, 9);
%! assert (InfoRateTable (E, C, D, gamma), sum (interp1 (E, C, gamma), 2), 1e-12);
%! assert (InfoRateTable (E, C, D, gamma(:, 1)), interp1 (E, C, gamma(:, 1)), 1e-12);
%! assert (InfoRateTable (E, C, D, [-1 -0.5 0 20 21 1e9]), 3 * C(end));
%! assert (InfoRateTable (E, C, D, E(2:end - 1)), sum (C(2:end - 1)), 1e-12);
%!test
%! usage = "Usage: cap = InfoRateTable( EsNo_AWGN, capacity_AWGN, slope, gamma )";
%! expect_error (@() InfoRateTable (E, C, D), usage);
%! expect_error (@() InfoRateTable (E, C, D, 1), usage, 2);
%! expect_error (@() InfoRateTable (E, [0 1 2], D, 1), "Table sizes don't match");
%! expect_error (@() InfoRateTable (E, C', D, 1), "Table sizes don't match");
%! expect_error (@() InfoRateTable (E, C, [0.1 0.1], 1), "slope vector is wrong size");
%! expect_error (@() InfoRateTable ([], [], [], 1), "slope vector is wrong size");
%! expect_error (@() InfoRateTable (zeros (0, 2), zeros (0, 2), zeros (0, 1), 1), "EsNo_AWGN has 2 columns but no rows");
%! assert (InfoRateTable (1, 0.5, [], 2), 0.5);   # T = 1: a T x 1 column is one column
