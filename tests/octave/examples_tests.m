## Every example simulation runs end to end with a tiny frame budget, writes its CSV
## and plot, and returns results of the expected shape.

%!function check_results (r, curves, files_stem)
%!  assert (numel (r.labels), curves);
%!  assert (all (r.frames(1) > 0));
%!  assert (size (r.ber, 2), curves);
%!  assert (all (r.ber(r.frames > 0, :)(:) >= 0 & r.ber(r.frames > 0, :)(:) <= 1));
%!  assert (exist ([files_stem ".csv"], "file") == 2);
%!endfunction

%!test
%! out = tempname ();
%! r = conv_code_example ("EbN0_dB", [2 3], "max_frames", 3, "L", 300, "output_dir", out);
%! check_results (r, 4, fullfile (out, "conv_code_k7"));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

%!test
%! out = tempname ();
%! r = turbo_code_example ("EbN0_dB", [0.5 1], "max_frames", 2, "K", 200, "iterations", 2,
%!                         "output_dir", out);
%! check_results (r, 3, fullfile (out, "turbo_code"));
%! confirm_recursive_rmdir (false, "local");
%! rmdir (out, "s");

## Parameter handling shared by all examples.
%!error <unknown parameter 'EbNo'> conv_code_example ("EbNo", 1)
%!error <name/value pairs> conv_code_example ("L")
