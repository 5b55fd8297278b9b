## expect_error (fcn, message)
## expect_error (fcn, message, nout)
## Calls FCN with NOUT requested outputs (default 1) and checks that it raises a
## linkforge error whose text, after the host's "Module: " prefix, is exactly MESSAGE.
function expect_error (fcn, message, nout = 1)
  try
    if (nout == 0)
      fcn ();
    else
      out = cell (1, nout);
      [out{:}] = fcn ();
    endif
  catch err
    module = regexprep (err.identifier, '^linkforge:', '');
    if (strcmp (module, err.identifier))
      error ("expected a linkforge error, got '%s' (%s)", err.message, err.identifier);
    endif
    prefix = [module ": "];
    if (! strncmp (err.message, prefix, numel (prefix)))
      error ("error '%s' lacks the prefix '%s'", err.message, prefix);
    endif
    actual = err.message(numel (prefix) + 1:end);
    if (! strcmp (actual, message))
      error ("expected error\n  '%s'\ngot\n  '%s'", message, actual);
    endif
    return;
  end_try_catch
  error ("expected the error '%s', but the call succeeded", message);
endfunction
