## S = lf_qam (M, labelling)
## Square M-QAM signal set (M = 4, 16, 64, 256...) of unit average energy as a 1 x M
## row whose element k + 1 is the point of label k, the order Modulate, PlaneMetrics
## and SymbolBitMetrics read. The first half of the label bits (most significant
## first) chooses the in-phase level, the second half the quadrature level, except in
## set partitioning. LABELLING is
##   "gray"     (default) per axis a binary reflected Gray code: neighbouring points
##              differ in one bit;
##   "natural"  per axis the level index in plain binary;
##   "sp"       set partitioning: from the least significant bit up, each bit splits
##              the current subset into two whose smallest distance is sqrt(2) times
##              larger (checkerboard, then square sublattice, and so on).
## Example: S = lf_qam (16, "sp"); Modulate ([0 0 0 1], S)
function S = lf_qam (M, labelling = "gray")
  side = round (sqrt (M));
  m = round (log2 (M));
  if (side ^ 2 != M || 2 ^ m != M || mod (m, 2) != 0)
    error ("lf_qam: M must be an even power of two (4, 16, 64...), not %g", M);
  endif
  levels = 2 * (0:side-1) - (side - 1);           # -3 -1 1 3 for side 4
  [iq, qq] = meshgrid (0:side-1);                 # level indices of every grid point
  iq = iq(:)'; qq = qq(:)';
  switch (lower (labelling))
    case "gray"
      label = gray_code (iq) * side + gray_code (qq);
    case "natural"
      label = iq * side + qq;
    case "sp"
      label = zeros (size (iq));
      for level = 0:m/2-1
        a = floor (iq / 2 ^ level);
        b = floor (qq / 2 ^ level);
        label += mod (a + b, 2) * 2 ^ (2 * level) + mod (a, 2) * 2 ^ (2 * level + 1);
      endfor
    otherwise
      error ("lf_qam: unknown labelling '%s' (gray, natural or sp)", labelling);
  endswitch
  S = zeros (1, M);
  S(label + 1) = complex (levels(iq + 1), levels(qq + 1));
  S /= sqrt (mean (abs (S) .^ 2));
endfunction

function g = gray_code (n)
  g = bitxor (n, bitshift (n, -1));
endfunction
