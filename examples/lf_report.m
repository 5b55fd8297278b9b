## files = lf_report (results, opts, reference, reference_label)
##
## Prints the results of lf_simulate as a table, writes them to
## OPTS.output_dir/<name>.csv and, when OPTS.plot is true, plots BER (solid) and FER
## (dashed) of every curve against Eb/N0 into OPTS.output_dir/<name>.png, with a
## reference: REFERENCE is "bpsk" (uncoded BPSK bit error rate), a number (an Eb/N0
## limit in dB, drawn as a vertical line named REFERENCE_LABEL) or empty. The plot
## renders without a display. Returns the names of the files written.
##
## The CSV file records the run that made it. It begins with one comment line per field
## of OPTS (the points asked for, the stopping rule, the seed and the example's own
## parameters), written by lf_write_parameters as
##   # name = value
## with the value in Octave syntax. A header row follows, naming the columns
##   EbN0_dB,frames,bits,<curve> bit errors,<curve> frame errors,<curve> BER,<curve> FER
## (the last four for every curve in turn; a name holding a comma is quoted), then one
## row of numbers per point that was run. No timing is recorded, so the same seed and
## parameters give the same file byte for byte. To read the numbers back, skip the
## comment lines and the header row:
##   n = sum (strncmp (strsplit (fileread (csv), "\n"), "#", 1));
##   table = csvread (csv, n + 1, 0);      # or dlmread (csv, ",", n + 1, 0)
function files = lf_report (results, opts, reference = "bpsk", reference_label = "")
  run = results.frames > 0;
  EbN0 = results.EbN0_dB(run);
  labels = results.labels;
  headers = [cellfun(@(l) ["BER " l], labels, "uniformoutput", false), ...
             cellfun(@(l) ["FER " l], labels, "uniformoutput", false)];
  widths = max (cellfun (@numel, headers) + 2, 11);
  printf ("\n%s\n%9s %7s", results.title, "Eb/N0", "frames");
  for c = 1:numel (headers)
    printf ("%*s", widths(c), headers{c});
  endfor
  printf ("\n");
  for p = find (run)
    printf ("%6.2f dB %7d", results.EbN0_dB(p), results.frames(p));
    values = [results.ber(p, :), results.fer(p, :)];
    for c = 1:numel (values)
      printf ("%*.3e", widths(c), values(c));
    endfor
    printf ("\n");
  endfor

  if (! exist (opts.output_dir, "dir"))
    mkdir (opts.output_dir);
  endif
  stem = fullfile (opts.output_dir, results.name);
  files = {[stem ".csv"]};
  fid = fopen (files{1}, "w");
  if (fid < 0)
    error ("cannot write %s", files{1});
  endif
  lf_write_parameters (fid, opts);
  fprintf (fid, "EbN0_dB,frames,bits");
  for c = 1:numel (labels)
    fprintf (fid, ",%s", csv_field ([labels{c} " bit errors"]),
             csv_field ([labels{c} " frame errors"]), csv_field ([labels{c} " BER"]),
             csv_field ([labels{c} " FER"]));
  endfor
  fprintf (fid, "\n");
  for p = find (run)
    fprintf (fid, "%.4f,%d,%d", results.EbN0_dB(p), results.frames(p), results.bits(p));
    for c = 1:numel (labels)
      fprintf (fid, ",%d,%d,%.6e,%.6e", results.bit_errors(p, c), results.frame_errors(p, c),
               results.ber(p, c), results.fer(p, c));
    endfor
    fprintf (fid, "\n");
  endfor
  fclose (fid);
  printf ("results written to %s\n", files{1});

  if (opts.plot && any (run))
    png = [stem ".png"];
    if (lf_plot_png (png, @() draw_error_rates (results, run, reference, reference_label)))
      files{end+1} = png;
      printf ("plot written to %s\n", png);
    endif
  endif
endfunction

## A column name as a CSV field: in double quotes, inner quotes doubled, when it holds a
## comma or a quote (a label such as "S-random, S = 25").
function s = csv_field (name)
  s = name;
  if (any (name == ",") || any (name == '"'))
    s = ['"' strrep(name, '"', '""') '"'];
  endif
endfunction

function draw_error_rates (results, run, reference, reference_label)
  EbN0 = results.EbN0_dB(run);
  colours = lines (numel (results.labels));
  names = {};
  for c = 1:numel (results.labels)
    ber = results.ber(run, c);
    fer = results.fer(run, c);
    ber(ber == 0) = NaN;   # zero counts have no place on a log axis
    fer(fer == 0) = NaN;
    semilogy (EbN0, ber, "-o", "color", colours(c, :), "linewidth", 1.5);
    hold on;
    semilogy (EbN0, fer, "--s", "color", colours(c, :));
    names(end+1:end+2) = {["BER " results.labels{c}], ["FER " results.labels{c}]};
  endfor
  span = [min(EbN0) - 0.25, max(EbN0) + 0.25];
  if (ischar (reference) && strcmp (reference, "bpsk"))
    x = linspace (span(1), span(2), 100);
    semilogy (x, lf_bpsk_ber (x), "k:", "linewidth", 1.5);
    names{end+1} = "uncoded BPSK";
  elseif (isnumeric (reference) && ! isempty (reference))
    semilogy ([1 1] * reference, [1e-7 1], "k:", "linewidth", 1.5);
    names{end+1} = reference_label;
    span = [min(span(1), reference - 0.25), span(2)];
  endif
  grid on;
  xlim (span);
  ylim ([1e-7 1]);
  xlabel ("E_b/N_0 (dB)");
  ylabel ("error rate");
  title (results.title, "fontsize", 10);
  ## Error-rate curves fall from the top left to the bottom right, which leaves the
  ## bottom left free for the legend.
  legend (names, "location", "southwest", "fontsize", 8);
endfunction
