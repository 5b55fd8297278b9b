## C = lf_cm_capacity (S, EsN0_dB, nodes)
## Capacity in bits per symbol of the signal set S (a row of complex points, used
## with equal probabilities, scaled to unit average energy here) over the complex
## AWGN channel at each Es/N0 of EsN0_dB, computed by numerical integration: for
## every sent point s_k,
##   C = log2 M - 1/M sum_k E[log2 sum_j exp(-(|s_k - s_j + n|^2 - |n|^2) / N0)]
## with n circular Gaussian of variance N0, the expectation taken by Gauss-Hermite
## quadrature with NODES nodes (default 64) per real dimension. A one-dimensional
## set (BPSK) gives the same result as the real channel, since the quadrature
## noise does not change the log-sum. Independent of the labelling.
## Example: lf_cm_capacity (lf_qam (16), [0 10 20])
function C = lf_cm_capacity (S, EsN0_dB, nodes = 64)
  S = S(:).' / sqrt (mean (abs (S(:)) .^ 2));
  M = numel (S);
  ## Golub-Welsch: nodes and weights of int exp(-t^2) f(t) dt.
  b = sqrt ((1:nodes-1) / 2);
  [V, D] = eig (diag (b, 1) + diag (b, -1));
  t = diag (D);
  w = sqrt (pi) * V(1, :)' .^ 2;
  [ta, tb] = meshgrid (t);
  unit_noise = complex (ta(:), tb(:));              # noise / sqrt(N0)
  weight = kron (w, w) / pi;                        # sums to 1
  C = zeros (size (EsN0_dB));
  for p = 1:numel (EsN0_dB)
    N0 = 10 ^ (-EsN0_dB(p) / 10);
    n = sqrt (N0) * unit_noise;
    loss = 0;
    for k = 1:M
      d = S(k) - S;                                 # 1 x M
      e = -(abs (d + n) .^ 2 - abs (n) .^ 2) / N0;  # Q x M exponents, e(:, k) = 0
      top = max (e, [], 2);
      loss += weight' * (top + log (sum (exp (e - top), 2)));
    endfor
    C(p) = log2 (M) - loss / (M * log (2));
  endfor
endfunction
