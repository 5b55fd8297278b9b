"""The whole batch decoders from Python: worked frames, batch layouts, agreement with
the per-frame functions, and threads running decoders side by side."""

import threading
import time

import numpy as np
import pytest

import linkforge as lf

G75 = np.array([[1, 1, 1], [1, 0, 1]])
G_TURBO = np.array([[1, 0, 1, 1], [1, 1, 0, 1]])
POLY = np.array([[1, 0, 1, 1], [1, 0, 0, 1]])
H_ROWS = np.array([[1, 2, 0], [2, 3, 4], [1, 3, 0], [4, 0, 0]])
H_COLS = np.array([[1, 3], [1, 2], [2, 3], [2, 4]])
QPSK = np.array([1 + 1j, -1 + 1j, 1 - 1j, -1 - 1j])


def noisy(shape, seed=1):
    return np.random.default_rng(seed).normal(size=shape)


def turbo_frames(data):
    """Channel values of a clean turbo frame with LLR magnitude 3."""
    L = data.size
    alpha = lf.wcdma_permutation(L)
    c1 = lf.trellis_coder(data, G_TURBO, 0).reshape(-1, 2)
    c2 = lf.trellis_coder(lf.interleave(data, alpha), G_TURBO, 0).reshape(-1, 2)
    llr = lambda b: 3.0 * (2 * b - 1)
    tail = llr(np.concatenate([c1[L:].ravel(), c2[L:].ravel()]))
    return llr(data), llr(c1[:L, 1]), llr(c2[:L, 1]), tail, alpha


class TestWorkedFrames:
    def test_viterbi_decode(self):
        c = np.stack([lf.trellis_coder([1, 0, 1, 1], G75, 1), lf.trellis_coder([0, 1, 1, 0], G75, 1)])
        y = 2 * (2 * c - 1)
        y[0, 2] = -y[0, 2]  # one code bit in error
        np.testing.assert_array_equal(lf.viterbi_decode(y, G75, 1), [[1, 0, 1, 1], [0, 1, 1, 0]])

    def test_turbo_decode(self):
        data = np.array([1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 0, 1, 1,
                         0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0, 0, 1, 0, 1, 0])
        ys, yp1, yp2, tail, alpha = turbo_frames(data)
        app, app_all, runs = lf.turbo_decode(ys, yp1, yp2, tail, G_TURBO, alpha, 4, 4)
        np.testing.assert_array_equal(app > 0, data == 1)
        assert app_all.shape == (4, 40) and runs.shape == () and runs == 4
        np.testing.assert_array_equal(app_all[-1], app)

    def test_sparse_graph_decode(self):
        data = np.array([1, 0, 1, 1])
        L = 1.5 * (2 * lf.parity_check_coder(data, H_ROWS) - 1)
        bad = L.copy()
        bad[0] = -bad[0]
        output, errors, runs = lf.sparse_graph_decode(np.stack([L, bad]), H_ROWS, H_COLS, 4, 0, 1, 1, data)
        np.testing.assert_array_equal(runs, [1, 2])
        np.testing.assert_array_equal(errors, [[0, 0, 0, 0], [1, 0, 0, 0]])
        np.testing.assert_array_equal(output[1], [1, 0, 1, 1, 1, 1, 1, 0])
        assert errors.dtype == np.int64 and output.dtype == np.float64

    def test_circular_turbo_decode(self):
        N = 8
        L = np.tile([-2.0, -2.0, -4.0], (N, 1))  # every pair sent as u = 0 ...
        Lx = L.copy()
        Lx[2] = [1, -1, -1]  # ... but pair 2 heard as u = 1
        app = lf.circular_turbo_decode(Lx.ravel(), L.ravel(), L.ravel(), POLY,
                                       [3, 6, 1, 4, 7, 2, 5, 0], [1, 0, 0, 1, 0, 1, 0, 0], 4, 1)
        values = np.hstack([np.zeros((N, 1)), app.reshape(N, 3)])
        np.testing.assert_array_equal(values.argmax(axis=1), np.zeros(N))

    def test_soft_demap(self):
        y = np.stack([lf.modulate([0, 1, 1, 1], QPSK), lf.modulate([1, 0, 0, 0], QPSK)])
        np.testing.assert_array_equal(lf.soft_demap(y, QPSK, 1, 1), [[-4, 4, 4, 4], [4, -4, -4, -4]])


class TestBatches:
    """A frame of a batch decodes exactly as the per-frame functions decode it."""

    def test_viterbi_matches_best_path(self):
        y = noisy((5, 2 * 22))
        for code_type in (0, 1, 2):
            out = lf.viterbi_decode(y, G75, code_type)
            for f in range(5):
                np.testing.assert_array_equal(out[f], lf.trellis_best_path(y[f], G75, code_type))

    def test_sparse_graph_decode_matches_solve(self):
        x = noisy((6, 8), seed=2)
        out, errors, runs = lf.sparse_graph_decode(x, H_ROWS, H_COLS, 5)
        for f in range(6):
            decisions, counts = lf.sparse_graph_solve(-x[f], H_ROWS, H_COLS, 5)
            np.testing.assert_array_equal(out[f], decisions[runs[f] - 1])
            np.testing.assert_array_equal(errors[f], counts)

    def test_soft_demap_matches_the_two_steps(self):
        rng = np.random.default_rng(3)
        y = rng.normal(size=(3, 7)) + 1j * rng.normal(size=(3, 7))
        prior = rng.normal(size=(3, 14))
        out = lf.soft_demap(y, QPSK, 0.8, 4, prior)
        for f in range(3):
            expected = lf.symbol_bit_metrics(lf.plane_metrics(y[f], QPSK, 0.8), 4, prior[f])
            np.testing.assert_array_equal(out[f], expected)

    def test_turbo_batch_matches_single_frames(self):
        data = (np.random.default_rng(4).random((3, 40)) > 0.5).astype(float)
        frames = [turbo_frames(d) for d in data]
        alpha = frames[0][4]
        noise = noisy((3, 40), seed=5)
        stack = [np.stack([fr[i] for fr in frames]) for i in range(4)]
        stack[0] = stack[0] + 2 * noise
        app, _, runs = lf.turbo_decode(*stack, G_TURBO, alpha, 6, 1, early_stop=True)
        for f in range(3):
            one, _, run = lf.turbo_decode(*(s[f] for s in stack), G_TURBO, alpha, 6, 1, early_stop=True)
            np.testing.assert_array_equal(app[f], one)
            assert runs[f] == run

    def test_turbo_crc_stop_keeps_the_first_iteration_that_passes(self):
        blocks = lf.crc_attach((np.random.default_rng(6).random((6, 40 - 24)) > 0.5).astype(float), "24B")
        frames = [turbo_frames(b) for b in blocks]
        alpha = frames[0][4]
        stack = [np.stack([fr[i] for fr in frames]) for i in range(4)]
        for i in range(3):
            stack[i] = stack[i] + np.linspace(1, 6, 6)[:, None] * noisy((6, 40), seed=7 + i)
        _, app_all, _ = lf.turbo_decode(*stack, G_TURBO, alpha, 6, 4)
        app, _, runs = lf.turbo_decode(*stack, G_TURBO, alpha, 6, 4, early_stop="24B")
        for f in range(6):
            ok = lf.crc_check((app_all[f] > 0).astype(float), "24B")[1]
            stop = np.argmax(ok) + 1 if ok.any() else 6
            assert runs[f] == stop
            np.testing.assert_array_equal(app[f], app_all[f, stop - 1])
        assert len(set(runs)) > 1
        with pytest.raises(ValueError, match="'24X' is not a CRC"):
            lf.turbo_decode(*stack, G_TURBO, alpha, 6, 4, early_stop="24X")
        with pytest.raises(ValueError, match="at least its 24 parity bits, not L = 20"):
            lf.turbo_decode(*(s[:, :20] for s in stack[:3]), stack[3], G_TURBO, np.arange(20), 6, 4,
                            early_stop="24A")

    def test_leading_axes_are_frames(self):
        y = noisy((2, 3, 2 * 12))
        out = lf.viterbi_decode(y, G75, 1)
        assert out.shape == (2, 3, 10)
        np.testing.assert_array_equal(out.reshape(6, 10), lf.viterbi_decode(y.reshape(6, -1), G75, 1))
        app = lf.circular_turbo_decode(noisy((2, 2, 24)), noisy((2, 2, 24)), noisy((2, 2, 24)), POLY,
                                       np.arange(8), np.zeros(8), 2, 1)
        assert app.shape == (2, 2, 24)

    def test_strided_frames_are_read_in_place(self):
        y = noisy((2 * 12, 4)).T  # frames in columns of a Fortran-ordered block
        assert not y.flags.c_contiguous
        np.testing.assert_array_equal(lf.viterbi_decode(y, G75, 1), lf.viterbi_decode(y.copy(), G75, 1))
        every_other = noisy((6, 2 * 24))[::2, ::2]
        np.testing.assert_array_equal(lf.viterbi_decode(every_other, G75, 1),
                                      lf.viterbi_decode(np.ascontiguousarray(every_other), G75, 1))

    def test_zero_frames(self):
        assert lf.viterbi_decode(np.zeros((0, 12)), G75, 1).shape == (0, 4)
        out, errors, runs = lf.sparse_graph_decode(np.zeros((0, 8)), H_ROWS, H_COLS, 3)
        assert out.shape == (0, 8) and errors.shape == (0, 3) and runs.shape == (0,)
        assert lf.soft_demap(np.zeros((0, 5)), QPSK, 1.0).shape == (0, 10)


class TestThreads:
    def test_decoders_release_the_gil(self):
        y = noisy((256, 2 * 20000), seed=6)
        result = {}
        worker = threading.Thread(target=lambda: result.setdefault("out", lf.viterbi_decode(y, G_TURBO, 1, 6, 1)))
        ticks = 0
        worker.start()
        while worker.is_alive():
            ticks += 1
            time.sleep(0.001)
        worker.join()
        assert ticks > 5, "the main thread did not run while the decoder ran"
        np.testing.assert_array_equal(result["out"], lf.viterbi_decode(y, G_TURBO, 1, 6, 1))

    def test_two_threads_decode_side_by_side(self):
        y = [noisy((32, 2 * 4000), seed=s) for s in (7, 8)]
        expected = [lf.viterbi_decode(v, G75, 1, 6, 1) for v in y]
        out = [None, None]

        def run(i):
            out[i] = lf.viterbi_decode(y[i], G75, 1, 6, 1)

        threads = [threading.Thread(target=run, args=(i,)) for i in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for i in range(2):
            np.testing.assert_array_equal(out[i], expected[i])
