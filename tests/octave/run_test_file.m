## ok = run_test_file (file)
## Runs the %!test blocks of FILE with Octave's test() and reports failures on stdout.
function ok = run_test_file (file)
  [passed, total] = test (file, "quiet", stdout);
  printf ("%s: %d of %d passed\n", file, passed, total);
  ok = total > 0 && passed == total;
endfunction
