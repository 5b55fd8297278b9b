## calls = sweep_module (name, valid, max_out)
## Calls module NAME with many malformed variants of the argument list VALID (a cell
## array of arguments that the module accepts) and up to MAX_OUT + 1 requested
## outputs. Every call must either return or raise an error; a module that crashes
## takes the whole host down, which fails the test run. Returns the number of calls.
##
## Variants: every shorter argument list and one extra argument; every output count;
## and each argument in turn replaced by an empty, non-finite, negative, huge,
## fractional, wrongly shaped or wrongly typed value.
function calls = sweep_module (name, valid, max_out)
  fcn = str2func (name);
  bad = {[], zeros(0, 3), zeros(3, 0), NaN, Inf, -Inf, -1, 0, 0.5, -0.5, 1e10, -1e10, ...
         2^31, -2^31 - 1, 1e300, realmax, {1}, struct("a", 1), "abc", @sin, true, ...
         int8(-1), uint8(200), single(NaN), 1i};
  calls = 0;
  for n = 0:numel (valid) + 1
    args = valid(1:min (n, end));
    if (n > numel (valid))
      args{end+1} = 1;
    endif
    for nout = 0:max_out + 1
      try_call (fcn, args, nout);
      calls++;
    endfor
  endfor
  derived = {@(v) NaN (size (v)), @(v) -v, @(v) v * 1e9, @(v) v', @(v) [v; v], ...
             @(v) [v, v], @(v) sparse (double (v)), @(v) int32 (v), @(v) single (v), ...
             @(v) complex (double (v), 1), @(v) v(1:floor (end / 2)), @(v) v + 0.5, ...
             @(v) num2cell (v)};
  for i = 1:numel (valid)
    variants = bad;
    for k = 1:numel (derived)
      try
        variants{end+1} = derived{k} (valid{i});
      catch
        ## this variant does not apply to the argument's class
      end_try_catch
    endfor
    for j = 1:numel (variants)
      args = valid;
      args{i} = variants{j};
      try_call (fcn, args, 1);
      calls++;
    endfor
  endfor
endfunction

function try_call (fcn, args, nout)
  try
    out = cell (1, max (nout, 1));
    if (nout == 0)
      fcn (args{:});
    else
      [out{1:nout}] = fcn (args{:});
    endif
  catch
    ## Refusing is a fine outcome; surviving is what is checked.
  end_try_catch
endfunction
