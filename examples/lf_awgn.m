## y = lf_awgn (x, sigma)
## Adds white Gaussian noise of standard deviation SIGMA per real dimension: real noise
## to a real X, circular complex noise to a complex X.
function y = lf_awgn (x, sigma)
  if (iscomplex (x))
    y = x + sigma * complex (randn (size (x)), randn (size (x)));
  else
    y = x + sigma * randn (size (x));
  endif
endfunction
