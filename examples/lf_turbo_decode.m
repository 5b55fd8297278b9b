## app = lf_turbo_decode (ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type)
## Iterative decoding of lf_turbo_encode's code from channel log-likelihood ratios
## ln(P(1)/P(0)) of the systematic bits YS, the parity streams YP1, YP2 (0 where a bit
## was punctured) and the tail bits YTAIL. Two TrellisPosterior decoders exchange
## extrinsic values (a-posteriori minus a-priori minus systematic input) through
## Interleave and Deinterleave. Returns the a-posteriori values of the data bits after
## each iteration, one row per iteration (ITERATIONS x L).
function app = lf_turbo_decode (ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type)
  L = numel (ys);
  m = columns (g) - 1;
  ys_interleaved = Interleave (ys, alpha);
  input1 = [reshape([ys; yp1], 1, []), ytail(1:2*m)];
  input2 = [reshape([ys_interleaved; yp2], 1, []), ytail(2*m+1:end)];
  apriori = zeros (1, L);
  app = zeros (iterations, L);
  for it = 1:iterations
    [u1, ~] = TrellisPosterior (apriori, input1, g, 0, decoder_type);
    extrinsic = Interleave (u1 - apriori - ys, alpha);
    [u2, ~] = TrellisPosterior (extrinsic, input2, g, 0, decoder_type);
    apriori = Deinterleave (u2 - extrinsic - ys_interleaved, alpha);
    app(it, :) = Deinterleave (u2, alpha);
  endfor
endfunction
