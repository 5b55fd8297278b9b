## The modules as shared objects of the host: each is mapped into the process when
## first called and unmapped by `clear`, so a rebuilt module is picked up without
## restarting the host. An object that defines a symbol of GNU unique binding can never
## be unloaded, so these tests fail when the modules are built without -fno-gnu-unique.

## Whether the shared object FILE is mapped into this process.
%!function yes = is_mapped (file)
%!  maps = fileread ("/proc/self/maps");
%!  yes = ! isempty (strfind (maps, [canonicalize_file_name(file) "\n"]));
%!endfunction

%!test
%! file = file_in_loadpath ("SpreadPermutation.mex");   # which() would load it
%! assert (ischar (file), "SpreadPermutation.mex is not on the path");
%! assert (! is_mapped (file));
%! alpha = SpreadPermutation (100, 3);
%! assert (sort (alpha), 0:99);
%! assert (is_mapped (file));
%! clear SpreadPermutation
%! assert (! is_mapped (file), "%s is still mapped after clear", file);
%! ## Loaded afresh on the next call.
%! SpreadPermutation (10, 2);
%! assert (is_mapped (file));
%! clear SpreadPermutation
%! assert (! is_mapped (file));

## Every module of the folder, all loaded at once: the first object to define a unique
## symbol is the one pinned, whichever module that is.
%!test
%! folder = fileparts (file_in_loadpath ("SpreadPermutation.mex"));
%! files = dir (fullfile (folder, "*.mex"));
%! names = regexprep ({files.name}, '\.mex$', "");
%! paths = fullfile (folder, {files.name});
%! assert (numel (names) >= 20);
%! for i = 1:numel (names)
%!   try
%!     feval (names{i});   # no arguments: refused, but loaded all the same
%!   catch
%!   end_try_catch
%! endfor
%! unloaded = names(! cellfun (@is_mapped, paths));
%! assert (isempty (unloaded), "not mapped after a call: %s", strjoin (unloaded, ", "));
%! for i = 1:numel (names)
%!   clear (names{i});
%! endfor
%! kept = names(cellfun (@is_mapped, paths));
%! assert (isempty (kept), "still mapped after clear: %s", strjoin (kept, ", "));
