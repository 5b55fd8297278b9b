## Binary convolutional codes through the host: TrellisCoder, TrellisPosterior and
## TrellisBestPath on the (7, 5) code, messages, argument conventions and a noisy link.

%!shared g, code, data, rsc, ff, tb
%! g = [1 1 1; 1 0 1];
%! code = golden ("seven_five_code");
%! [data, rsc, ff, tb] = deal (code.data, code.recursive, code.feedforward, code.tailbiting);

## TrellisCoder
%!assert (TrellisCoder (data, g, 0), rsc)
%!assert (TrellisCoder (data, g, 1), ff)
%!assert (TrellisCoder (data, g, 2), tb)
%!assert (TrellisCoder (data, g), rsc)
%!assert (TrellisCoder (data, g, 1, 7), rsc)        # a fourth argument resets code_type
%!assert (TrellisCoder (data, g, -1), ff)
%!assert (TrellisCoder (data, g, 5), tb)
%!assert (TrellisCoder (data, g, 1.9), ff)
%!assert (TrellisCoder ([], g, 0), zeros (1, 4))
%!assert (TrellisCoder ([], g, 1), zeros (1, 4))
%!assert (TrellisCoder ([0.7 -2], g, 1), TrellisCoder ([0 1], g, 1))
%!assert (TrellisCoder (int8 (data), logical (g), single (1)), ff)
%!assert (TrellisCoder (data, [1 0 1]), [1 0 1 1 0 1])  # n = 1, recursive: systematic only
%!assert (TrellisCoder (data, [1; 0; 1], 1), [1 0 1 0 0 0 1 0 1 1 0 1])  # K = 1
%!test
%! out = TrellisCoder (data, g);
%! assert (isreal (out) && isa (out, "double") && rows (out) == 1);

%!test
%! usage = "Usage: [output] = TrellisCoder(input, g_encoder, code_type )";
%! expect_error (@() TrellisCoder (data), usage);
%! expect_error (@() TrellisCoder (), usage, 0);
%! expect_error (@() TrellisCoder (data, g), usage, 2);
%! expect_error (@() TrellisCoder (1, g, 2), "a tail-biting block needs at least K - 1 data bits");
%! expect_error (@() TrellisCoder ([1 NaN], g), "input must not contain NaN");
%! expect_error (@() TrellisCoder (data, zeros (2, 0)), "g_encoder must have at least one row and one column");
%! expect_error (@() TrellisCoder (data, ones (2, 32)), "g_encoder is too large: K - 1 and n must both be below 31");
%! expect_error (@() TrellisCoder (data, ones (31, 3)), "g_encoder is too large: K - 1 and n must both be below 31");
%! expect_error (@() TrellisCoder (data, {g}), "g_encoder must be a numeric or logical array, not cell");
%! expect_error (@() TrellisCoder ("1011", g), "input must be a numeric or logical array, not char");
%! expect_error (@() TrellisCoder (data, g, NaN), "code_type must be a finite number");
%! expect_error (@() TrellisCoder (data, g, 1e10), "code_type is out of range");
%! expect_error (@() TrellisCoder (data, g, []), "code_type must not be empty");

## TrellisPosterior: worked values of max-log and the constant-correction operator
%!test
%! w = golden ("seven_five_posterior");
%! for k = 1:numel (w.input_c)
%!   [u, cc] = TrellisPosterior (w.input_u{k}, w.input_c{k}, g, w.code_type{k}, w.decoder_type{k});
%!   assert (u, w.output_u{k});
%!   if (! isempty (w.output_c{k}))
%!     assert (cc, w.output_c{k});
%!   endif
%! endfor
%! [u, cc] = TrellisPosterior ([], [1 -1 2 -2], g, 1, 4);
%! assert (size (u), [1 0]);
%! assert (size (cc), [1 4]);

## Defaults: code_type 0 and decoder_type 0; fractional types truncate.
%!test
%! c = [2 2 -2 2 2 -2 2 -2 -2 2 2 2];
%! [u0, c0] = TrellisPosterior (zeros (1, 4), c, g, 0, 0);
%! [u, cc] = TrellisPosterior (zeros (1, 4), c, g);
%! assert (u, u0);
%! assert (cc, c0);
%! assert (TrellisPosterior (zeros (1, 4), c, g, 0.4, 4.9), TrellisPosterior (zeros (1, 4), c, g, 0, 4));

## A caller who takes only output_u gets the same values, though the code-bit outputs
## are then not computed.
%!test
%! randn ("seed", 3);
%! for G = {[1 0 1 1; 1 1 0 1], [1 0 1 1 0 1 1; 1 1 1 1 0 0 1; 1 0 0 1 1 1 1]}
%!   [n, K] = size (G{1});
%!   ua = randn (1, 37);
%!   c = 3 * randn (1, (37 + K - 1) * n);
%!   for type = 0:4
%!     [u, cc] = TrellisPosterior (ua, c, G{1}, mod (type, 2), type);
%!     assert (TrellisPosterior (ua, c, G{1}, mod (type, 2), type), u);
%!     assert (size (cc), size (c));
%!   end
%! end

%!test
%! usage = "Usage: [output_u, output_c] = TrellisPosterior(input_u, input_c, g_encoder, code_type, decoder_type )";
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 12)), usage);
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 12), g), usage, 3);
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 11), g), "TrellisPosterior: Length of input_u and input_c don't agree");
%! ## the length is tested before the output count
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 11), g), "TrellisPosterior: Length of input_u and input_c don't agree", 3);
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 12), g, 1, 5), "decoder_type must be 0 through 4");
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 12), g, 1, -1), "decoder_type must be 0 through 4");
%! expect_error (@() TrellisPosterior (zeros (1, 4), zeros (1, 12), g, 1, NaN), "decoder_type must be a finite number");
%! expect_memory_refusal (@() TrellisPosterior (zeros (1, 10), zeros (1, 2 * 40), ones (2, 31)),
%!                        "the (decoder|trellis of g_encoder)");

## TrellisBestPath
%!assert (TrellisBestPath (code.received_feedforward, g, 1), data)
%!assert (TrellisBestPath (code.received_recursive, g, 0), data)
%!assert (TrellisBestPath (code.received_recursive, g), data)
%!assert (TrellisBestPath (code.received_tailbiting, g, 2), data)
%!assert (TrellisBestPath (code.received_tailbiting, g, 2, 0), data)
%!assert (TrellisBestPath (code.received_tailbiting, g, 2, 1), data)
%!assert (TrellisBestPath (code.received_tailbiting .* [-1 ones(1, 7)], g, 2), data)
%!assert (TrellisBestPath (code.received_tailbiting, g, 2, 40), data)   # ring many times round
%!assert (TrellisBestPath (zeros (1, 12), g, 1), zeros (1, 4))
%!assert (TrellisBestPath (code.received_feedforward, g, 1, -5), data)  # depth ignored
%!assert (TrellisBestPath (zeros (1, 4), g, 1), zeros (1, 0))

%!test
%! usage = "Usage: [output_u] = TrellisBestPath( input_c, g_encoder, [code_type], [depth] )";
%! expect_error (@() TrellisBestPath (ones (1, 12)), usage);
%! expect_error (@() TrellisBestPath (ones (1, 12), g), usage, 2);
%! expect_error (@() TrellisBestPath (ones (1, 7), g), "Length of input_c must be a multiple of n, the number of rows in g");
%! expect_error (@() TrellisBestPath (ones (1, 7), g), "Length of input_c must be a multiple of n, the number of rows in g", 2);
%! expect_error (@() TrellisBestPath (ones (1, 2), g, 1), "input_c is shorter than the K - 1 tail steps of a terminated code");
%! expect_error (@() TrellisBestPath ([], g, 2), "a tail-biting block needs at least one trellis step");
%! expect_error (@() TrellisBestPath (ones (1, 8), g, 2, -1), "depth must not be negative");

## A noisy link: Viterbi and max-log decisions agree on every noiseless block, and
## both beat uncoded decisions at 3 dB.
%!test
%! randn ("seed", 1); rand ("seed", 1);
%! G = [1 0 1 1 0 1 1; 1 1 1 1 0 0 1];
%! L = 2000;
%! bits = double (rand (1, L) > 0.5);
%! c = TrellisCoder (bits, G, 1);
%! assert (TrellisBestPath (4 * (2 * c - 1), G, 1), bits);
%! EbN0 = 10 ^ (3 / 10);
%! sigma = sqrt (1 / (2 * 0.5 * EbN0));
%! y = (2 * c - 1) + sigma * randn (size (c));
%! llr = 2 * y / sigma ^ 2;
%! viterbi = TrellisBestPath (llr, G, 1);
%! [u, ~] = TrellisPosterior (zeros (1, L), llr, G, 1, 4);
%! assert (mean (viterbi != bits) < 5e-3);
%! assert (mean ((u > 0) != bits) < 5e-3);
%! [u1, ~] = TrellisPosterior (zeros (1, L), 4 * (2 * c - 1), G, 1, 1);
%! assert (u1 > 0, logical (bits));

## TurboDecode: every row equals the per-call decoder of the examples (lf_turbo_decode),
## bit for bit, for every operator and thread count; arguments are checked.
%!test
%! rand ("seed", 3); randn ("seed", 3);
%! g = [1 0 1 1; 1 1 0 1];
%! F = 5; L = 60; its = 3;
%! alpha = WcdmaPermutation (L);
%! ys = 3 * randn (F, L); yp1 = 3 * randn (F, L); yp2 = 3 * randn (F, L);
%! yp1(:, 2:2:end) = 0;
%! ytail = 3 * randn (F, 12);
%! for type = 0:4
%!   [app, all, runs] = TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, type, 1);
%!   assert (size (all), [F L its]);
%!   assert (runs, its * ones (F, 1));
%!   for f = 1:F
%!     ref = lf_turbo_decode (ys(f, :), yp1(f, :), yp2(f, :), ytail(f, :), g, alpha, its, type);
%!     assert (app(f, :), ref(end, :));
%!     assert (squeeze (all(f, :, :))', ref);
%!   endfor
%!   assert (TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, type, 3), app);
%! endfor
%! ## Early stop: a noiseless codeword stops once its decisions repeat, after the
%! ## second iteration; a noisy frame beside it runs on.
%! data = double (rand (1, L) > 0.5);
%! c1 = reshape (TrellisCoder (data, g, 0), 2, []);
%! c2 = reshape (TrellisCoder (Interleave (data, alpha), g, 0), 2, []);
%! llr = @(b) 4 * (2 * b - 1);
%! tail = llr ([reshape(c1(:, L+1:end), 1, []), reshape(c2(:, L+1:end), 1, [])]);
%! [app, ~, runs] = TurboDecode ([llr(data); ys(1, :)], [llr(c1(2, 1:L)); yp1(1, :)], ...
%!                               [llr(c2(2, 1:L)); yp2(1, :)], [tail; ytail(1, :)], g, ...
%!                               alpha, 8, 1, 0, 1);
%! assert (runs(1), 2);
%! assert (app(1, :) > 0, data == 1);
%! assert (runs(2) > 2);
%! ## CRC stop: each row of blocks that end in their CRC-24A stops at the first iteration
%! ## whose decisions pass CrcCheck in the run without a stop, with that iteration's values.
%! F = 8;
%! block = CrcAttach (double (rand (F, L - 24) > 0.5), "24A");
%! x = {zeros(F, L), zeros(F, L), zeros(F, L), zeros(F, 12)};
%! for f = 1:F
%!   [x{1}(f, :), x{2}(f, :), x{3}(f, :), x{4}(f, :)] = lf_turbo_encode (block(f, :), g, alpha);
%! endfor
%! sigma = linspace (0.7, 1.4, F)';
%! rx = cellfun (@(b) 2 * (2 * b - 1 + sigma .* randn (size (b))) ./ sigma .^ 2, x, "uniformoutput", false);
%! [~, all] = TurboDecode (rx{:}, g, alpha, 8, 4);
%! [app, all_crc, runs] = TurboDecode (rx{:}, g, alpha, 8, 4, 0, "24A");
%! for f = 1:F
%!   [~, ok] = CrcCheck (double (squeeze (all(f, :, :))' > 0), "24A");
%!   stop = min ([find(ok, 1), 8]);
%!   assert (runs(f), stop);
%!   assert (app(f, :), all(f, :, stop));
%!   assert (squeeze (all_crc(f, :, :)), squeeze (all(f, :, [1:stop, stop * ones(1, 8 - stop)])));
%! endfor
%! assert (numel (unique (runs)) > 2);
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, 1, 0, "24X"), "early_stop '24X' is not a CRC: use 0, 1 or one of '24A', '24B', '24C', '16', '11', '8', '6'");
%! expect_error (@() TurboDecode (ys(:, 1:20), yp1(:, 1:20), yp2(:, 1:20), ytail, g, 0:19, its, 1, 0, "24B"), "early_stop '24B' needs frames of at least its 24 parity bits, not L = 20");
%! usage = "Usage: [app, app_all, iterations_run] = TurboDecode(ys, yp1, yp2, ytail, g, alpha, iterations, decoder_type, threads, early_stop)";
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, its), usage);
%! expect_error (@() TurboDecode (ys, yp1(:, 2:end), yp2, ytail, g, alpha, its, 1), "ys, yp1 and yp2 must have the same size, one frame per row");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail(:, 2:end), g, alpha, its, 1), "ytail must have one row per frame and 4*(K - 1) = 12 columns");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, [g; g], alpha, its, 1), "g must have two rows: the feedback and the parity polynomial");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, [alpha(2:end) 60], its, 1), "alpha(60) = 60 is not a 0-based index from 0 to 59");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, 0, 1), "iterations must be at least 1");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, 5), "decoder_type must be 0 through 4");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, 1, -1), "threads must be 0 (all) to 1024");
%! expect_error (@() TurboDecode (ys, yp1, yp2, ytail, g, alpha, its, 1, 0, 2), "early_stop must be 0 or 1");
%! bad = ys; bad(2, 3) = NaN;
%! expect_error (@() TurboDecode (bad, yp1, yp2, ytail, g, alpha, its, 1), "ys must not contain NaN");

## ViterbiDecode: every row equals TrellisBestPath for that row, for every code type,
## with ties (zeros), and for any thread count.
%!test
%! randn ("seed", 3); rand ("seed", 3);
%! codes = {[1 1 1; 1 0 1], [1 0 1 1 0 1 1; 1 1 1 1 0 0 1], [1 1 0 1; 1 0 1 1; 1 1 1 1]};
%! for c = 1:numel (codes)
%!   g = codes{c};  [n, K] = size (g);
%!   for code_type = [0 1 2]
%!     F = 19;  L = 37;
%!     steps = L + (code_type < 2) * (K - 1);
%!     y = 1.5 * randn (F, steps * n);
%!     y(3, :) = 0;  y(4, 1:n) = 0;
%!     ref = zeros (F, L);
%!     for f = 1:F
%!       ref(f, :) = TrellisBestPath (y(f, :), g, code_type, 2);
%!     endfor
%!     for threads = [1 3]
%!       assert (ViterbiDecode (y, g, code_type, 2, threads), ref);
%!     endfor
%!   endfor
%! endfor
%! assert (size (ViterbiDecode (zeros (0, 12), codes{1}, 1)), [0 4]);
%! assert (ViterbiDecode (single ([2 -2 -2 2 -2 -2 -2 2]), codes{1}, 2), [1 0 1 1]);

%!test
%! g = [1 1 1; 1 0 1];
%! usage = "Usage: [output_u] = ViterbiDecode(input_c, g_encoder, code_type, depth, threads)";
%! expect_error (@() ViterbiDecode (ones (2, 12)), usage);
%! expect_error (@() ViterbiDecode (ones (2, 12), g, 1, 6, 0, 1), usage);
%! expect_error (@() ViterbiDecode (ones (2, 7), g), "Length of input_c must be a multiple of n, the number of rows in g");
%! expect_error (@() ViterbiDecode (ones (2, 2), g, 1), "input_c is shorter than the K - 1 tail steps of a terminated code");
%! expect_error (@() ViterbiDecode (zeros (2, 0), g, 2), "a tail-biting block needs at least one trellis step");
%! expect_error (@() ViterbiDecode (ones (2, 8), g, 2, -1), "depth must not be negative");
%! expect_error (@() ViterbiDecode (ones (2, 8), g, 2, 1, -1), "threads must be 0 (all) to 1024");
%! expect_error (@() ViterbiDecode ([1 NaN 1 1 1 1 1 1], g, 2), "input_c must not contain NaN");
%! expect_memory_refusal (@() ViterbiDecode (ones (1, 8), g, 2, 2^31 - 1), "the decoder");
