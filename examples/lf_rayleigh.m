## a = lf_rayleigh (rows, cols)
## Complex Rayleigh fading coefficients with E|a|^2 = 1, independent per element.
function a = lf_rayleigh (rows, cols)
  a = complex (randn (rows, cols), randn (rows, cols)) / sqrt (2);
endfunction
