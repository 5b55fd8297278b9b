## ok = lf_plot_png (png, draw)
## Draws a figure without a display and writes it to the file PNG: opens an invisible
## figure (8 x 5 inches at 100 dpi), calls DRAW () to fill its axes, prints it and
## closes it, as lf_report does for its error-rate plots (gnuplot renders the PNG
## through cairo when no display is set). Returns false, with a warning, when no
## graphics toolkit is available.
## Example: lf_plot_png ("sine.png", @() plot (sin (0:0.1:6)))
function ok = lf_plot_png (png, draw)
  ok = false;
  toolkits = available_graphics_toolkits ();
  if (isempty (toolkits))
    warning ("no graphics toolkit available: plot skipped");
    return;
  endif
  if (any (strcmp (toolkits, "gnuplot")) && isempty (getenv ("DISPLAY")))
    warning ("off", "Octave:gnuplot-graphics");
    graphics_toolkit ("gnuplot");
  endif
  h = figure ("visible", "off", "paperunits", "inches", "paperposition", [0 0 8 5]);
  state = warning ();
  unwind_protect
    draw ();
    warning ("off", "all");   # print's notes about optional converters
    if (strcmp (graphics_toolkit (h), "gnuplot"))
      print (h, "-dpngcairo", "-r100", png);
    else
      print (h, "-dpng", "-r100", png);
    endif
    ok = true;
  unwind_protect_cleanup
    warning (state);
    close (h);
  end_unwind_protect
endfunction
