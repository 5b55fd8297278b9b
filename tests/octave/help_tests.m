## The help texts shipped beside the modules: `help <Module>` shows them, they
## document the module's whole interface, and their examples run as they stand and
## give the results they state.
##
## A help text is a comment-only <Module>.m beside <Module>.mex in the module folder.
## Its Example section (the lines between "Example" and "See also") is run line by
## line in a workspace of its own. Stated results are checked where the example
## states them in one of two forms:
##   code            % ... returns VALUE   (ans, or the variable the line assigns)
##   % name = VALUE, name = VALUE          (a comment line: variables set so far)
## VALUE is a bracketed matrix ([1 0; 0 1], [-1+1i, 2]) or numbers separated by blanks
## (a row); it is compared with the actual value to 1e-4 (absolute and relative), the
## precision of the four decimals the examples print.

## Outputs and arguments of the complete call of every module, as its help must show
## it; an empty output list means a call without outputs.
%!function iface = interfaces ()
%!  iface = {
%!    "TrellisCoder",          {"output"}, {"input", "g_encoder", "code_type"};
%!    "TrellisPosterior",      {"output_u", "output_c"}, ...
%!                             {"input_u", "input_c", "g_encoder", "code_type", "decoder_type"};
%!    "TrellisBestPath",       {"output_u"}, {"input_c", "g_encoder", "code_type", "depth"};
%!    "ViterbiDecode",         {"output_u"}, {"input_c", "g_encoder", "code_type", "depth", "threads"};
%!    "TurboDecode",           {"app", "app_all", "iterations_run"}, ...
%!                             {"ys", "yp1", "yp2", "ytail", "g", "alpha", "iterations", ...
%!                              "decoder_type", "threads", "early_stop"};
%!    "CircularPairCoder",     {"outz", "Sc"}, {"x", "poly"};
%!    "CircularPairPosterior", {"outx", "outz", "soft_bits"}, {"inx", "inz", "poly", "dec_type"};
%!    "CircularTurboDecode",   {"app"}, {"Lx", "Lz1", "Lz2", "poly", "alpha", "swap", ...
%!                              "iterations", "dec_type", "threads"};
%!    "WcdmaPermutation",      {"alpha"}, {"K"};
%!    "SpaceLinkPermutation",  {"alpha"}, {"K"};
%!    "SpreadPermutation",     {"alpha"}, {"Length", "S"};
%!    "SeededSpreadPermutation", {"alpha"}, {"Length", "S", "seed"};
%!    "Interleave",            {"output"}, {"input", "alpha_code"};
%!    "Deinterleave",          {"output"}, {"input", "alpha_code"};
%!    "Puncture",              {"output"}, {"input", "pun_pattern", "tail_pattern"};
%!    "Depuncture",            {"output"}, {"input", "pun_pattern", "tail_pattern"};
%!    "BitCountAdapt",         {"y"}, {"x", "X_i", "e_ini", "e_plus", "e_minus"};
%!    "BitCountRestore",       {"y"}, {"x", "X_i", "e_ini", "e_plus", "e_minus"};
%!    "ParityCheckCoder",      {"codeword"}, {"data", "H_rows", "P"};
%!    "SparseGraphSolve",      {"output", "errors"}, ...
%!                             {"input", "H_rows", "H_cols", "max_iter", "dec_type", ...
%!                              "r_scale_factor", "q_scale_factor", "data"};
%!    "SparseGraphDecode",     {"output", "errors", "iterations_run"}, ...
%!                             {"input", "H_rows", "H_cols", "max_iter", "dec_type", ...
%!                              "r_scale_factor", "q_scale_factor", "data", "threads"};
%!    "GraphStateSetup",       {}, {"input", "check_index", "var_index", "vn_state", "cn_state"};
%!    "GraphStateStep",        {"output", "bits"}, {"input", "vn_state", "cn_state", "m"};
%!    "Modulate",              {"output"}, {"input", "S_matrix"};
%!    "PlaneMetrics",          {"output"}, {"input", "S_matrix", "EsNo", "fade_coef"};
%!    "ToneMetrics",           {"output"}, {"input", "EsNo", "csi_flag", "fade_coef"};
%!    "RelayFrequencyMetrics", {"output"}, {"input", "EsNo", "csi_flag", "a1", "a2", "sqE1", ...
%!                                          "sqE2", "csi1switch"};
%!    "SymbolBitMetrics",      {"output"}, {"input", "demod_type", "extrinsic_info"};
%!    "SoftDemap",             {"output"}, {"input", "S_matrix", "EsNo", "demod_type", ...
%!                              "extrinsic_info", "fade_coef", "threads"};
%!    "RelayLabelMetrics",     {"bit_llr"}, ...
%!                             {"sym_log_likelihood", "mod_order", "demod_type", "extrinsic_info"};
%!    "Capacity",              {"output"}, {"input", "data"};
%!    "InfoRateTable",         {"cap"}, {"EsNo_AWGN", "capacity_AWGN", "slope", "gamma"};
%!    "NrLdpcEncode",          {"codeword"}, {"data", "bg", "Z"};
%!    "NrLdpcDecode",          {"bits", "app", "iterations"}, ...
%!                             {"llr", "bg", "Z", "max_iterations", "algorithm", ...
%!                              "scale_or_offset", "threads"};
%!    "NrLdpcRateMatch",       {"out"}, {"codeword", "bg", "Z", "E", "rv", "Qm", "K_prime", "N_ref"};
%!    "NrLdpcRateRecover",     {"llr_code"}, {"llr", "bg", "Z", "rv", "Qm", "K_prime", "N_ref"};
%!    "NrLdpcSegment",         {"bg", "Z", "C", "K_prime", "K", "E", "tb_crc", "cb_crc"}, ...
%!                             {"A", "R", "G", "Qm", "layers"};
%!    "CrcAttach",             {"word"}, {"data", "name"};
%!    "CrcCheck",              {"data", "ok"}, {"word", "name"};
%!    "QppPermutation",        {"alpha"}, {"K"};
%!    "PolarConstruct",        {"positions"}, {"K", "N", "E"};
%!    "PolarEncode",           {"code"}, {"data", "N", "E"};
%!    "PolarDecode",           {"data"}, {"llr", "K", "N", "L", "crc", "threads", "E"};
%!    "PolarCodeLength",       {"N"}, {"K", "E", "link"};
%!    "PolarRateMatch",        {"out"}, {"code", "K", "E", "interleave"};
%!    "PolarRateRecover",      {"llr_code"}, {"llr", "K", "N", "interleave"}};
%!endfunction

## The module folder and the modules that have a help text there.
%!function [folder, names] = help_modules ()
%!  folder = fileparts (which ("TrellisCoder"));
%!  mex = dir_names (fullfile (folder, "*.mex"));
%!  texts = dir_names (fullfile (folder, "*.m"));
%!  names = intersect (mex, texts);
%!endfunction

%!function names = dir_names (pattern)
%!  d = dir (pattern);
%!  names = cellfun (@(f) f(1:find (f == ".", 1, "last") - 1), {d.name}, "UniformOutput", false);
%!endfunction

%!function lines = text_lines (folder, name)
%!  lines = strsplit (fileread (fullfile (folder, [name ".m"])), "\n", "CollapseDelimiters", false);
%!  if (isempty (lines{end}))
%!    lines(end) = [];
%!  endif
%!endfunction

## The usage lines: the lines after the summary line up to the first blank one.
%!function usage = usage_lines (lines)
%!  usage = {};
%!  for i = 3:numel (lines)
%!    text = strtrim (lines{i}(2:end));
%!    if (isempty (text))
%!      break;
%!    endif
%!    usage{end + 1} = text;
%!  endfor
%!endfunction

## Outputs and arguments of a usage line "[a, b] = Name(x, y)" or "Name(x, y)".
%!function [outs, args] = usage_names (line, name)
%!  t = regexp (line, ['^(?:\[?([^\]=]*)\]?\s*=\s*)?' name '\(([^)]*)\)$'], "tokens", "once");
%!  if (isempty (t))
%!    outs = args = [];
%!    return;
%!  endif
%!  if (numel (t) == 1)   # a line without outputs leaves their token out
%!    t = {"", t{1}};
%!  endif
%!  split = @(s) strtrim (strsplit (s, ","));
%!  outs = split (t{1});
%!  args = split (t{2});
%!  if (isempty (strtrim (t{1})))
%!    outs = {};
%!  endif
%!endfunction

## The Example section, leading "%" stripped.
%!function code = example_lines (lines)
%!  first = find (! cellfun (@isempty, regexp (lines, '^%\s+Example\s*$', "once")), 1);
%!  last = find (! cellfun (@isempty, regexp (lines, '^%\s+See also\s', "once")), 1);
%!  assert (! isempty (first) && ! isempty (last) && last > first);
%!  code = cellfun (@(s) s(2:end), lines(first + 1:last - 1), "UniformOutput", false);
%!endfunction

## A stated value at the start of TEXT; REST is what follows it.
%!function [value, rest] = stated_value (text)
%!  value = [];
%!  rest = text;
%!  text = strtrim (text);
%!  if (! isempty (text) && text(1) == "[")
%!    close = find (text == "]", 1);
%!    if (isempty (close))
%!      return;
%!    endif
%!    value = str2num (text(1:close));
%!    rest = text(close + 1:end);
%!    return;
%!  endif
%!  number = '[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?';
%!  token = ['^(' number '([-+]' number '[ij])?|' number '[ij])(?=\s|$|,)'];
%!  words = {};
%!  while (true)
%!    w = regexp (text, token, "match", "once");
%!    if (isempty (w))
%!      break;
%!    endif
%!    words{end + 1} = w;
%!    text = strtrim (text(numel (w) + 1:end));
%!  endwhile
%!  if (! isempty (words))
%!    value = str2num (["[" strjoin(words, " ") "]"]);
%!    rest = text;
%!  endif
%!endfunction

## One step per example line: its code and the results its comment states, as
## {variable, value} pairs.
%!function steps = example_steps (code)
%!  steps = struct ("code", {}, "checks", {}, "text", {});
%!  for i = 1:numel (code)
%!    line = code{i};
%!    c = find (line == "%", 1);
%!    if (isempty (c))
%!      statement = line;  comment = "";
%!    else
%!      statement = line(1:c - 1);  comment = line(c + 1:end);
%!    endif
%!    checks = cell (0, 2);
%!    if (! isempty (strtrim (statement)))
%!      r = regexp (comment, '\<returns\s+(.*)$', "tokens", "once");
%!      if (! isempty (r))
%!        value = stated_value (r{1});
%!        if (isempty (value))
%!          error ("unreadable stated result in '%s'", line);
%!        endif
%!        target = regexp (statement, '^\s*([A-Za-z]\w*)\s*=[^=]', "tokens", "once");
%!        if (isempty (target))
%!          target = {"ans"};
%!        endif
%!        checks = {target{1}, value};
%!      endif
%!    else
%!      rest = comment;
%!      while (true)
%!        t = regexp (rest, '^\s*,?\s*([A-Za-z]\w*)\s*=\s*(.*)$', "tokens", "once");
%!        if (isempty (t))
%!          break;
%!        endif
%!        [value, rest] = stated_value (t{2});
%!        if (isempty (value))
%!          break;
%!        endif
%!        checks(end + 1, :) = {t{1}, value};
%!      endwhile
%!    endif
%!    steps(end + 1) = struct ("code", statement, "checks", {checks}, "text", line);
%!  endfor
%!endfunction

## Runs the steps in this function's own workspace and returns, for each stated
## result, its step text, the stated and the actual value. Names start with "__" so
## that no example variable meets them.
%!function __results__ = run_example (__steps__)
%!  __results__ = cell (0, 3);
%!  for __i__ = 1:numel (__steps__)
%!    if (! isempty (strtrim (__steps__(__i__).code)))
%!      __shown__ = evalc (__steps__(__i__).code);
%!    endif
%!    for __j__ = 1:rows (__steps__(__i__).checks)
%!      __name__ = __steps__(__i__).checks{__j__, 1};
%!      if (! exist (__name__, "var"))
%!        error ("example line '%s' states '%s', which the example does not set",
%!               __steps__(__i__).text, __name__);
%!      endif
%!      __results__(end + 1, :) = {__steps__(__i__).text, ...
%!                                 __steps__(__i__).checks{__j__, 2}, eval(__name__)};
%!    endfor
%!  endfor
%!endfunction

%!function check_result (text, stated, actual)
%!  actual = double (actual);
%!  if (! isequal (size (actual), size (stated)))
%!    error ("'%s': stated a %s result, got %s", text, mat2str (size (stated)),
%!           mat2str (size (actual)));
%!  endif
%!  if (any (abs (actual(:) - stated(:)) > 1e-4 * (1 + abs (stated(:)))))
%!    error ("'%s': stated %s, got %s", text, mat2str (stated, 6), mat2str (actual, 6));
%!  endif
%!endfunction

## Every module has its help text in the module folder.
%!test
%! [folder, names] = help_modules ();
%! documented = {"TrellisCoder", "TrellisPosterior", "TrellisBestPath", "TurboDecode", ...
%!               "ViterbiDecode", ...
%!               "CircularPairCoder", ...
%!               "CircularPairPosterior", "CircularTurboDecode", "WcdmaPermutation", "SpaceLinkPermutation", ...
%!               "SpreadPermutation", "SeededSpreadPermutation", "Interleave", "Deinterleave", ...
%!               "Puncture", "Depuncture", ...
%!               "BitCountAdapt", "BitCountRestore", "Modulate", "PlaneMetrics", "ToneMetrics", ...
%!               "RelayFrequencyMetrics", "SymbolBitMetrics", "SoftDemap", "RelayLabelMetrics", "Capacity", ...
%!               "InfoRateTable", "ParityCheckCoder", "SparseGraphSolve", "SparseGraphDecode", ...
%!               "GraphStateSetup", ...
%!               "GraphStateStep", ...
%!               "CrcAttach", "CrcCheck", "QppPermutation", "PolarConstruct", "PolarEncode", ...
%!               "PolarDecode", "PolarCodeLength", "PolarRateMatch", "PolarRateRecover"};
%! missing = setdiff (documented, names);
%! assert (isempty (missing), "no help text in %s for: %s", folder, strjoin (missing, ", "));

## Layout: comment lines only (a blank line would end the text `help` shows, and code
## would never run beside the compiled module), the summary line, the sections.
%!test
%! [folder, names] = help_modules ();
%! for name = names
%!   lines = text_lines (folder, name{1});
%!   bad = find (cellfun (@isempty, regexp (lines, "^%", "once")), 1);
%!   assert (isempty (bad), "%s.m: line %d is not a comment", name{1}, bad);
%!   assert (! isempty (regexp (lines{1}, ['^% ' name{1} '  \S.*\.$'], "once")),
%!           "%s.m: the first line is not '%% %s  Summary.'", name{1}, name{1});
%!   for section = {'Arguments\>', 'Outputs?\>', 'Example$', 'See also '}
%!     assert (any (! cellfun (@isempty, regexp (lines, ['^%\s+' section{1}], "once"))),
%!             "%s.m: no section '%s'", name{1}, section{1});
%!   endfor
%! endfor

## help finds the text of every module: its summary line, and each usage line.
%!test
%! [folder, names] = help_modules ();
%! squeeze = @(s) regexprep (strtrim (s), '\s+', " ");
%! for name = names
%!   shown = squeeze (evalc (["help " name{1}]));
%!   lines = text_lines (folder, name{1});
%!   assert (! isempty (strfind (shown, squeeze (lines{1}(2:end)))),
%!           "help %s does not show '%s'", name{1}, lines{1});
%!   usage = usage_lines (lines);
%!   assert (! isempty (usage), "%s.m: no usage line", name{1});
%!   for u = usage
%!     assert (! isempty (strfind (shown, squeeze (u{1}))),
%!             "help %s does not show '%s'", name{1}, u{1});
%!   endfor
%! endfor

## The usage lines are calls of the module, and one of them is its complete call with
## the module's own outputs and argument names.
%!test
%! [folder, names] = help_modules ();
%! iface = interfaces ();
%! for name = names
%!   row = find (strcmp (iface(:, 1), name{1}));
%!   assert (! isempty (row), "no interface listed for %s", name{1});
%!   complete = false;
%!   for u = usage_lines (text_lines (folder, name{1}))
%!     [outs, args] = usage_names (u{1}, name{1});
%!     assert (iscell (args), "%s.m: '%s' is not a call of %s", name{1}, u{1}, name{1});
%!     complete |= isequal (outs, iface{row, 2}) && isequal (args, iface{row, 3});
%!   endfor
%!   assert (complete, "%s.m: no usage line [%s] = %s(%s)", name{1},
%!           strjoin (iface{row, 2}, ", "), name{1}, strjoin (iface{row, 3}, ", "));
%! endfor

## "See also" names modules or functions that exist.
%!test
%! [folder, names] = help_modules ();
%! for name = names
%!   lines = text_lines (folder, name{1});
%!   line = lines{find (! cellfun (@isempty, regexp (lines, '^%\s+See also\s', "once")), 1)};
%!   refs = strtrim (strsplit (regexprep (line, '^%\s+See also\s+|\.\s*$', ""), ","));
%!   for r = refs
%!     assert (any (exist (r{1}) == [2 3 5]), "%s.m: See also names '%s', which does not exist",
%!             name{1}, r{1});
%!   endfor
%! endfor

## Every example runs as it stands, states at least one result, and its stated results
## are the actual ones.
%!test
%! [folder, names] = help_modules ();
%! for name = names
%!   steps = example_steps (example_lines (text_lines (folder, name{1})));
%!   try
%!     results = run_example (steps);
%!   catch err
%!     error ("the example of %s.m fails: %s", name{1}, err.message);
%!   end_try_catch
%!   assert (rows (results) > 0, "the example of %s.m states no checkable result", name{1});
%!   for i = 1:rows (results)
%!     check_result ([name{1} ".m: " strtrim(results{i, 1})], results{i, 2}, results{i, 3});
%!   endfor
%! endfor

## The checker itself: stated values are read in both forms and wrong ones are caught.
%!test
%! steps = example_steps ({"  x = [1 2] * 2;", "  % x = 2 4", "  x(2) + 0.5   % returns 4.5", ...
%!                         "  % free text, not a result", "  [1+1i; 2]  % as a column: returns [1+1i; 2]", ...
%!                         "  % a = [1; 2], b = 3"});
%! assert (rows (steps(2).checks), 1);
%! assert (steps(2).checks, {"x", [2 4]});
%! assert (steps(3).checks, {"ans", 4.5});
%! assert (isempty (steps(4).checks));
%! assert (steps(5).checks, {"ans", [1+1i; 2]});
%! assert (steps(6).checks, {"a", [1; 2]; "b", 3});
%! results = run_example (steps(1:5));
%! for i = 1:rows (results)
%!   check_result (results{i, :});
%! endfor
%!error <stated \[2 5\], got \[2 4\]> check_result ("x", [2 5], [2 4])
%!error <stated a \[2 1\] result, got \[1 2\]> check_result ("x", [2; 4], [2 4])
%!error <does not set> run_example (example_steps ({"  y = 1;", "  % z = 1"}))
%!error <unreadable stated result> example_steps ({"  1 + 1   % returns two"})
