## S = lf_psk (M)
## M-PSK signal set of unit energy (M a power of two) as a 1 x M row, element k + 1
## the point of label k, Gray labelled: the points round the circle carry the labels
## of a binary reflected Gray code, so neighbours differ in one bit. M = 2 is BPSK on
## the real axis (label 0 at -1, label 1 at +1, so that a positive log-likelihood
## ratio favours 1); M = 4 is QPSK at odd multiples of 45 degrees.
## Example: S = lf_psk (8)
function S = lf_psk (M)
  m = round (log2 (M));
  if (M < 2 || 2 ^ m != M)
    error ("lf_psk: M must be a power of two, not %g", M);
  endif
  position = 0:M-1;
  label = bitxor (position, bitshift (position, -1));
  if (M == 2)
    angle = [pi 0];
  else
    angle = 2 * pi * position / M + pi / M;
  endif
  S = zeros (1, M);
  S(label + 1) = exp (1i * angle);
endfunction
