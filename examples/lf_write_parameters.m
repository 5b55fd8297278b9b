## lf_write_parameters (fid, opts)
## Writes every field of the struct OPTS to the open file FID, in field order, as one
## comment line each:
##   # name = value
## The value is written in Octave syntax that reads back to the same value
## (eval (value) == opts.(name)): numbers with the fewest digits that give the same
## double (0.25, 0.3333333333333333, 1e-05, Inf, NaN), arrays in brackets with rows
## separated by semicolons ([0 0.25 0.5], [1 0 1 1; 1 1 0 1], [] when empty),
## logicals as true and false, strings in double quotes with their special
## characters escaped ("results", "a\"b\n"), cells in braces, integer and single
## arrays inside their class name (int32 (7)), function handles as their text; other
## values (structs, objects) by size and class only (<1x1 struct>). lf_report and
## capacity_example put these lines before the header row of every CSV file they write.
## Example: lf_write_parameters (stdout, struct ("seed", 1, "EbN0_dB", 0:0.5:2))
function lf_write_parameters (fid, opts)
  names = fieldnames (opts);
  for i = 1:numel (names)
    fprintf (fid, "# %s = %s\n", names{i}, value_string (opts.(names{i})));
  endfor
endfunction

function s = value_string (v)
  if (ischar (v) && rows (v) <= 1)
    s = ['"' undo_string_escapes(v) '"'];
  elseif (ischar (v))
    s = ["[" rows_string(num2cell (v, 2), @value_string, "") "]"];
  elseif (isnumeric (v) || islogical (v))
    if (ndims (v) > 2)
      s = sprintf ("reshape (%s, %s)", value_string (v(:)'), mat2str (size (v)));
    elseif (isempty (v) && any (size (v)))
      s = sprintf ("zeros (%d, %d)", size (v));
    elseif (isscalar (v))
      s = element_string (v);
    else
      s = ["[" rows_string(num2cell (v), @element_string, " ") "]"];
    endif
    if (isinteger (v) || isa (v, "single"))
      s = sprintf ("%s (%s)", class (v), s);
    endif
  elseif (iscell (v))
    s = ["{" rows_string(v, @value_string, ", ") "}"];
  elseif (is_function_handle (v))
    s = func2str (v);
  else
    s = sprintf ("<%s %s>", sprintf ("%dx", size (v))(1:end-1), class (v));
  endif
endfunction

## The elements of the cell C, each written by FORMAT: columns separated by SEPARATOR,
## rows by "; ".
function s = rows_string (c, format, separator)
  text = cellfun (format, c, "uniformoutput", false);
  lines = cell (1, rows (c));
  for r = 1:rows (c)
    lines{r} = strjoin (text(r, :), separator);
  endfor
  s = strjoin (lines, "; ");
endfunction

function s = element_string (x)
  if (islogical (x))
    s = {"false", "true"}{x + 1};
  elseif (isinteger (x))
    s = sprintf ("%d", x);
  elseif (iscomplex (x))
    signs = "+-";
    s = [real_string(real (x)), signs(signbit (imag (x)) + 1), real_string(abs (imag (x))), "i"];
  else
    s = real_string (x);
  endif
endfunction

## The shortest of %.15g, %.16g and %.17g (%.6g to %.9g in single precision) that reads
## back as X.
function s = real_string (x)
  if (isnan (x))
    s = "NaN";
    return;
  endif
  digits = {15:17, 6:9}{isa (x, "single") + 1};
  for d = digits
    s = sprintf ("%.*g", d, x);
    if (cast (str2double (s), class (x)) == x)
      return;
    endif
  endfor
endfunction
