## results = lf_simulate (name, title, labels, EbN0_dB, frame, opts)
##
## Monte-Carlo loop of a link simulation. For every Eb/N0 point (dB) it calls
##   [bit_errors, frame_errors, bits] = frame (EbN0)
## once per frame, where bit_errors and frame_errors are 1 x C rows, one entry per curve
## (a decoder, an iteration count, a labelling...) named by the cell LABELS, and BITS is
## the number of information bits the frame carried. A point ends once every curve has
## seen OPTS.target_frame_errors frame errors, or after OPTS.max_frames frames, or
## (when OPTS.max_seconds is finite) after OPTS.max_seconds seconds. Once a point ends
## without a single error, the remaining (higher) points are skipped. A progress line
## shows the running counts unless OPTS.quiet is set. Without a time limit the counts
## depend only on what FRAME draws, so seeding the generators it uses repeats a run.
##
## RESULTS holds the name (of the output files), title, labels, points and, per point,
## frames, bits and seconds, and per point and curve the bit and frame errors, BER and
## FER; lf_report prints, saves and plots it.
function results = lf_simulate (name, title, labels, EbN0_dB, frame, opts)
  curves = numel (labels);
  points = numel (EbN0_dB);
  results = struct ("name", name, "title", title, "labels", {labels}, "EbN0_dB", EbN0_dB(:)', ...
                    "frames", zeros (1, points), "bits", zeros (1, points), ...
                    "bit_errors", zeros (points, curves), ...
                    "frame_errors", zeros (points, curves), ...
                    "ber", NaN (points, curves), "fer", NaN (points, curves), ...
                    "seconds", zeros (1, points));
  if (! opts.quiet)
    printf ("%s\n", title);
  endif
  for p = 1:points
    start = tic ();
    last_print = -Inf;
    while (true)
      [be, fe, nb] = frame (EbN0_dB(p));
      results.frames(p) += 1;
      results.bits(p) += nb;
      results.bit_errors(p, :) += be(:)';
      results.frame_errors(p, :) += fe(:)';
      elapsed = toc (start);
      done = results.frames(p) >= opts.max_frames ...
             || min (results.frame_errors(p, :)) >= opts.target_frame_errors ...
             || elapsed >= opts.max_seconds;
      if (! opts.quiet && (done || elapsed - last_print >= 0.5))
        progress (results, p, elapsed, done);
        last_print = elapsed;
      endif
      if (done)
        break;
      endif
    endwhile
    results.seconds(p) = toc (start);
    results.ber(p, :) = results.bit_errors(p, :) / results.bits(p);
    results.fer(p, :) = results.frame_errors(p, :) / results.frames(p);
    if (all (results.bit_errors(p, :) == 0) && p < points)
      if (! opts.quiet)
        printf ("  no errors at %.2f dB: skipping the higher points\n", EbN0_dB(p));
      endif
      break;
    endif
  endfor
endfunction

function progress (r, p, elapsed, done)
  ber = r.bit_errors(p, :) / max (r.bits(p), 1);
  fer = r.frame_errors(p, :) / r.frames(p);
  line = sprintf ("  point %d/%d  %5.2f dB  frames %6d  errors %s  BER %s  FER %s  %5.1f s",
                  p, numel (r.EbN0_dB), r.EbN0_dB(p), r.frames(p),
                  sprintf ("%d ", r.bit_errors(p, :)), sprintf ("%.2e ", ber),
                  sprintf ("%.2e ", fer), elapsed);
  printf ("\r%s", line);
  if (done)
    printf ("\n");
  endif
  fflush (stdout);
endfunction
