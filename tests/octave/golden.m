## s = golden (name): the reference values of tests/golden/<name>.txt (in the folder
## LINKFORGE_GOLDEN_DIR names), a field per key: a row where the key is given once, a
## cell array of rows, in file order, where it is given on several lines.
function s = golden (name)
  folder = getenv ("LINKFORGE_GOLDEN_DIR");
  if (isempty (folder))
    folder = fullfile (fileparts (mfilename ("fullpath")), "..", "golden");
  endif
  lines = strsplit (fileread (fullfile (folder, [name ".txt"])), "\n");
  if (! strncmp (lines{1}, ["# " name ": "], numel (name) + 4))
    error ("golden: %s.txt does not begin with \"# %s: <origin>\"", name, name);
  endif
  s = struct ();
  for entry = strsplit (strjoin (lines(! strncmp (lines, "#", 1)), "|"), "|")
    [key, rest] = strtok (entry{1});
    v = reshape (sscanf (rest, "%f"), 1, []);
    if (isempty (key))
    elseif (! isfield (s, key))
      s.(key) = v;
    elseif (iscell (s.(key)))
      s.(key){end + 1} = v;
    else
      s.(key) = {s.(key), v};
    endif
  endfor
endfunction
