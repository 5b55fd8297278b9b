## opts = lf_options (defaults, args)
## Merges the caller's parameters into DEFAULTS. ARGS is the cell of a function's
## varargin: either one struct or name/value pairs. Unknown names are refused, so a
## misspelt parameter never silently falls back to its default.
function opts = lf_options (defaults, args)
  opts = defaults;
  if (isempty (args))
    return;
  endif
  if (numel (args) == 1 && isstruct (args{1}))
    given = args{1};
    names = fieldnames (given);
    values = struct2cell (given);
  else
    if (mod (numel (args), 2) != 0)
      error ("parameters must be name/value pairs or one struct");
    endif
    names = args(1:2:end);
    values = args(2:2:end);
  endif
  for i = 1:numel (names)
    if (! ischar (names{i}) || ! isfield (defaults, names{i}))
      error ("unknown parameter '%s'; known: %s", num2str (names{i}),
             strjoin (fieldnames (defaults)', ", "));
    endif
    opts.(names{i}) = values{i};
  endfor
endfunction
