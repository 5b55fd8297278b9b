## conv_ber_demo (EbN0_dB, L, max_frames, target_errors)
##
## A coded BPSK link over AWGN: random data, the K = 7 (133, 171) rate-1/2 code
## (TrellisCoder), antipodal mapping, Gaussian noise, channel log-likelihood ratios,
## then Viterbi decoding (TrellisBestPath) and exact log-MAP decoding
## (TrellisPosterior). Each Eb/N0 point runs frames of L bits until TARGET_ERRORS bit
## errors have been seen by both decoders or MAX_FRAMES frames have been sent, and a
## table of bit error rates is printed next to uncoded BPSK.
function conv_ber_demo (EbN0_dB = 0:0.5:4, L = 1000, max_frames = 200, target_errors = 200)
  g = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1];   # generators 133 and 171 (octal)
  rate = 1 / 2;
  rand ("seed", 1);
  randn ("seed", 1);
  printf ("K = 7 (133, 171) convolutional code, BPSK over AWGN, %d bits per frame\n\n", L);
  printf ("%8s %8s %12s %12s %12s\n", "Eb/N0", "frames", "uncoded", "Viterbi", "log-MAP");
  for EbN0 = EbN0_dB
    sigma = sqrt (1 / (2 * rate * 10 ^ (EbN0 / 10)));
    errors = [0 0];
    frames = 0;
    while (frames < max_frames && min (errors) < target_errors)
      data = double (rand (1, L) > 0.5);
      code = TrellisCoder (data, g, 1);
      received = (2 * code - 1) + sigma * randn (size (code));
      llr = 2 * received / sigma ^ 2;          # ln(P(1)/P(0)) of each code bit
      viterbi = TrellisBestPath (llr, g, 1);
      [posterior, ~] = TrellisPosterior (zeros (1, L), llr, g, 1, 4);
      errors += [sum(viterbi != data), sum((posterior > 0) != data)];
      frames++;
    endwhile
    uncoded = 0.5 * erfc (sqrt (10 ^ (EbN0 / 10)));
    ber = errors / (frames * L);
    printf ("%6.1f dB %8d %12.3e %12.3e %12.3e\n", EbN0, frames, uncoded, ber(1), ber(2));
  endfor
endfunction
