#!/usr/bin/python3
"""The rate-1/2 staircase LDPC code of the Octave ldpc_example over BPSK/AWGN: k data
columns of weight 3 on k checks and a staircase parity part, sum-product and scaled
min-sum (0.75) decoding, many frames per decoder call.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/ldpc_link.py --ebn0 1 1.5 2
"""
import numpy as np

import linkforge as lf
import lf_sweep


def staircase_code(k, m, weight, rng):
    """Index lists (1-based, 0-padded), by row and by column, of the data part D of
    H = [D P]: `weight` ones per column, spread evenly over the m rows with no row twice
    in a column. The parity part P, the staircase, is implied."""
    slots = np.tile(np.arange(1, m + 1), -(-k * weight // m))[: k * weight]
    cols = rng.permutation(slots).reshape(k, weight)
    for _ in range(100 * k):
        repeated = np.flatnonzero((np.diff(np.sort(cols, axis=1), axis=1) == 0).any(axis=1))
        if repeated.size == 0:
            break
        bad, other = repeated[0], rng.integers(k)
        a, b = rng.integers(weight), rng.integers(weight)
        cols[bad, a], cols[other, b] = cols[other, b], cols[bad, a]
    cols = np.sort(cols, axis=1)

    def rows_of(columns):
        lists = [[] for _ in range(m)]
        for j, row in enumerate(columns):
            for i in row[row > 0]:
                lists[i - 1].append(j + 1)
        out = np.zeros((m, max(len(r) for r in lists)), dtype=int)
        for i, r in enumerate(lists):
            out[i, : len(r)] = r
        return out

    return rows_of(cols), cols


def main():
    opts = lf_sweep.options(__doc__.splitlines()[0], {
        "ebn0": [0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.25, 2.5], "max_frames": 80, "target_errors": 30,
        "extra": {"k": 1000, "iterations": 50}})
    rng = np.random.default_rng(opts.seed + 1000)
    k = opts.k
    H_rows, H_cols = staircase_code(k, k, 3, rng)

    def frames(ebn0, count, rng):
        data = (rng.random((count, k)) > 0.5).astype(float)
        word = lf.parity_check_coder(data, H_rows)
        sigma = lf_sweep.bpsk_sigma(ebn0, 0.5)
        errors = np.zeros((count, 2), dtype=int)
        for curve, (dec_type, r_scale) in enumerate(((0, 1.0), (1, 0.75))):
            llr = 2 * ((2 * word - 1) + sigma * rng.standard_normal(word.shape)) / sigma**2
            decided, _, _ = lf.sparse_graph_decode(llr, H_rows, H_cols, opts.iterations, dec_type,
                                                   r_scale, 1.0, data)
            errors[:, curve] = (decided[:, :k] != data).sum(axis=1)
        return errors

    lf_sweep.sweep("ldpc_link", f"Staircase LDPC code, n = {2 * k}, rate 1/2, BPSK/AWGN",
                   [f"sum-product {opts.iterations} it", f"min-sum {opts.iterations} it"], k, frames, opts)


if __name__ == "__main__":
    main()
