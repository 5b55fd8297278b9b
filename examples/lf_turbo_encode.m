## [sys, p1, p2, tail] = lf_turbo_encode (data, g, alpha)
## Parallel concatenated (turbo) encoder from two identical recursive systematic
## constituent codes (TrellisCoder, code_type 0) of generator G, the second fed through
## the permutation ALPHA (Interleave). Returns the systematic bits, the two parity
## streams (1 x L each) and the 4*(K-1) tail bits: the systematic and parity bits of
## the first encoder's tail steps, then those of the second, each step-major.
function [sys, p1, p2, tail] = lf_turbo_encode (data, g, alpha)
  L = numel (data);
  c1 = reshape (TrellisCoder (data, g, 0), 2, []);
  c2 = reshape (TrellisCoder (Interleave (data, alpha), g, 0), 2, []);
  sys = c1(1, 1:L);
  p1 = c1(2, 1:L);
  p2 = c2(2, 1:L);
  tail = [reshape(c1(:, L+1:end), 1, []), reshape(c2(:, L+1:end), 1, [])];
endfunction
