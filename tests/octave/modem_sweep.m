## Bad-input sweep of the modulation and soft demapping modules.

%!shared qpsk, y, L, tones, pairs
%! qpsk = [1+1i; 1-1i; -1+1i; -1-1i] / sqrt (2);
%! y = [0.5+0.1i, -0.7i, 1, -0.2-0.9i];
%! L = [0 -1 2; 0.5 3 -2; -1 0 1; 2 -0.5 0];
%! tones = [1+0.5i 0.1 0.2; 0 1i 0.3; 0.2 0 -1; 0.1 0.1 0];
%! pairs = [0 1 2 3 -1 0.5 0.25 4 0 -2 1 1 3 0 0.5 -1, 1:16];

%!test assert (sweep_module ("Modulate", {[0 1 1 0 1], qpsk}, 1) > 80)
%!test assert (sweep_module ("Modulate", {[0 1 1 0], [1 2 3 4; 5 6 7 8]}, 1) > 80)
%!test assert (sweep_module ("PlaneMetrics", {y, qpsk, 4}, 1) > 100)
%!test assert (sweep_module ("PlaneMetrics", {y, qpsk.', 4, [1 1i -1 0.5]}, 1) > 100)
%!test assert (sweep_module ("ToneMetrics", {tones, 3}, 1) > 80)
%!test assert (sweep_module ("ToneMetrics", {tones, 3, 1, [1 0.5i 2]}, 1) > 100)
%!test assert (sweep_module ("ToneMetrics", {tones, 3, 2, [1 0.5i 2]}, 1) > 100)
%!test assert (sweep_module ("RelayFrequencyMetrics", {tones, 3, 1, [1 1i 0.5], [0.5 1 -1], 1, 0.5, 0}, 1) > 100)
%!test assert (sweep_module ("RelayFrequencyMetrics", {tones, 3, 2, [1 1i 0.5], [0.5 1 -1], 1, 0.5, 1}, 1) > 100)
%!test assert (sweep_module ("SymbolBitMetrics", {L}, 1) > 40)
%!test assert (sweep_module ("SymbolBitMetrics", {L, 4, [1 -1 0.5 2 0 -3]}, 1) > 100)
%!test assert (sweep_module ("SymbolBitMetrics", {[L, L, L, L, L, L], 1, ones(1, 36)}, 1) > 100)
%!test assert (sweep_module ("SoftDemap", {[y; y], qpsk, 2, 4, ones(2, 8), [y; y], 2}, 1) > 100)
%!test assert (sweep_module ("RelayLabelMetrics", {pairs, 4, 1, [0.5 -1 2 0]}, 1) > 100)
%!test assert (sweep_module ("RelayLabelMetrics", {pairs(1:8), 2}, 1) > 50)
