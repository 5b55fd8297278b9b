## opts = lf_defaults (EbN0_dB)
## Parameters shared by every example simulation:
##   EbN0_dB              points to simulate (dB)
##   max_frames           frames per point at most
##   target_frame_errors  a point ends once every curve has this many frame errors
##   max_seconds          a point ends after this many seconds, default Inf
##   quiet                no progress line and no table when true
##   output_dir           folder of the CSV and PNG files
##   plot                 write the PNG plot
##   seed                 seed of the random generators (rand and randn) and of any
##                        permutation an example draws, an integer 1..2147483562
## Points end on frame and error counts only, so a run is a function of its seed and
## parameters: the same call gives the same frames, errors and CSV file every time. A
## finite max_seconds also bounds each point's time, but the frame counts then depend
## on the machine and its load, and a run no longer repeats.
function opts = lf_defaults (EbN0_dB)
  opts = struct ("EbN0_dB", EbN0_dB, "max_frames", 1000, "target_frame_errors", 50,
                 "max_seconds", Inf, "quiet", false, "output_dir", "results", "plot", true,
                 "seed", 1);
endfunction
