## expect_memory_refusal (fcn, what)
## Calls FCN and checks that it is refused for its memory: a linkforge error saying how
## much WHAT (a regular expression) would need and which limit it exceeds.
function expect_memory_refusal (fcn, what)
  try
    fcn ();
  catch err
    pattern = ['^\w+: ' what ' would need [\d.]+ \w+ of memory, more than the '];
    if (! strncmp (err.identifier, "linkforge:", 10) || isempty (regexp (err.message, pattern, "once")))
      error ("expected a memory refusal of %s, got '%s'", what, err.message);
    endif
    return;
  end_try_catch
  error ("expected a memory refusal of %s, but the call succeeded", what);
endfunction
