#!/usr/bin/python3
"""The rate-1/3 turbo code with the cellular permutation over BPSK/AWGN (the Octave
turbo_code_example's first two curves): 8-state recursive systematic codes g = [1 0 1 1;
1 1 0 1], exact log-MAP and max-log decoding, many frames per decoder call.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/turbo_link.py --ebn0 0 0.25 0.5
"""
import numpy as np

import linkforge as lf
import lf_sweep

G = np.array([[1, 0, 1, 1], [1, 1, 0, 1]])


def main():
    opts = lf_sweep.options(__doc__.splitlines()[0], {
        "ebn0": [0.0, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5], "max_frames": 250, "target_errors": 30,
        "extra": {"K": 1024, "iterations": 8}})
    K, m = opts.K, G.shape[1] - 1
    alpha = lf.wcdma_permutation(K)
    rate = K / (3 * K + 4 * m)

    def frames(ebn0, count, rng):
        data = (rng.random((count, K)) > 0.5).astype(float)
        c1 = lf.trellis_coder(data, G, 0).reshape(count, -1, 2)
        c2 = lf.trellis_coder(data[:, alpha], G, 0).reshape(count, -1, 2)
        tail = np.concatenate([c1[:, K:, :].reshape(count, -1), c2[:, K:, :].reshape(count, -1)], axis=1)
        streams = [c1[:, :K, 0], c1[:, :K, 1], c2[:, :K, 1], tail]
        errors = np.zeros((count, 2), dtype=int)
        for curve, decoder_type in enumerate((4, 1)):
            sigma = lf_sweep.bpsk_sigma(ebn0, rate)
            ys, yp1, yp2, ytail = (2 * ((2 * s - 1) + sigma * rng.standard_normal(s.shape)) / sigma**2
                                   for s in streams)
            app, _, _ = lf.turbo_decode(ys, yp1, yp2, ytail, G, alpha, opts.iterations, decoder_type)
            errors[:, curve] = ((app > 0) != data).sum(axis=1)
        return errors

    lf_sweep.sweep("turbo_link", f"Turbo code, K = {K}, {opts.iterations} iterations, BPSK/AWGN",
                   ["log-MAP R=1/3", "max-log R=1/3"], K, frames, opts)


if __name__ == "__main__":
    main()
