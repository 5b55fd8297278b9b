"""Every other function once on a worked value (the values the Octave module tests
assert), in the NumPy layouts: symbols in rows, frames in leading axes."""

import numpy as np
import pytest

import linkforge as lf
from golden import golden

G75 = np.array([[1, 1, 1], [1, 0, 1]])
CODE = golden("seven_five_code")
DATA = CODE["data"]
POLY = np.array([[1, 0, 1, 1], [1, 0, 0, 1]])
S4 = np.array([10, 20 + 1j, 30 - 2j, 40])
eq = np.testing.assert_array_equal


class TestConvolutional:
    def test_trellis_coder(self):
        eq(lf.trellis_coder(DATA, G75, 0), CODE["recursive"])
        eq(lf.trellis_coder(DATA, G75, 1), CODE["feedforward"])
        eq(lf.trellis_coder(DATA, G75, code_type=2), CODE["tailbiting"])
        eq(lf.trellis_coder([0.7, -2], G75, 1), lf.trellis_coder([0, 1], G75, 1))
        eq(lf.trellis_coder(np.stack([DATA, DATA]), G75)[1], lf.trellis_coder(DATA, G75))

    def test_trellis_best_path(self):
        eq(lf.trellis_best_path(CODE["received_feedforward"], G75, 1), DATA)
        eq(lf.trellis_best_path(CODE["received_tailbiting"], G75, 2, depth=1), DATA)

    def test_trellis_posterior(self):
        c = 2.0 * (2 * lf.trellis_coder(DATA, G75, 1) - 1)
        out_u, out_c = lf.trellis_posterior(np.zeros(4), c, G75, 1, 1)
        eq(out_u > 0, DATA == 1)
        assert out_c.shape == (12,)
        batch_u, _ = lf.trellis_posterior(np.zeros((2, 4)), np.stack([c, -c]), G75, 1, 1)
        eq(batch_u[0], out_u)


class TestCircular:
    def test_circular_pair_coder(self):
        w = golden("duobinary_blocks")
        z, sc = lf.circular_pair_coder(w["pairs"][1], POLY)
        eq(z, w["parity"][1].reshape(-1, 2))  # one row per pair
        assert sc == w["state"][1] and sc.dtype == np.int64

    def test_circular_pair_posterior(self):
        w = {key: value[1] for key, value in golden("duobinary_max_log").items()}
        ox, oz, sb = lf.circular_pair_posterior(w["inx"].reshape(-1, 3), w["inz"].reshape(-1, 3), POLY, 1)
        eq(ox, w["outx"].reshape(-1, 3))
        eq(oz, w["outz"].reshape(-1, 3))
        eq(sb, w["soft"].reshape(-1, 2))


class TestPermutations:
    def test_fixed_permutations(self):
        wcdma, space_link = golden("wcdma_permutation"), golden("space_link_permutation")
        eq(lf.wcdma_permutation(int(wcdma["K"][0][0]))[:12], wcdma["head"][0])
        eq(lf.space_link_permutation(int(space_link["K"][0][0]))[-4:], space_link["tail"][0])
        assert lf.wcdma_permutation(40).dtype == np.int64

    def test_spread_permutations(self):
        a = lf.seeded_spread_permutation(100, 3, 7)
        eq(np.sort(a), np.arange(100))
        eq(a, lf.seeded_spread_permutation(Length=100, S=3, seed=7))
        eq(np.sort(lf.spread_permutation(50, 2)), np.arange(50))

    def test_interleave_and_deinterleave(self):
        w = golden("interleave")
        x, alpha = w["data"], w["alpha"]
        eq(lf.interleave(x, alpha), w["interleaved"])
        eq(lf.deinterleave(w["interleaved"], alpha), x)
        eq(lf.deinterleave([1, 2, 3], [1, 1, 0]), [3, 2, 0])
        eq(lf.interleave(np.stack([x, -x]), alpha)[1], -w["interleaved"])


class TestAdaptation:
    def test_puncture_and_depuncture(self):
        w = golden("puncture")
        pattern = w["pattern"].reshape(2, -1, order="F")
        eq(lf.puncture(w["data"].reshape(2, -1, order="F"), pattern), w["punctured"])
        eq(lf.depuncture(w["received"], pattern, None), w["restored"].reshape(2, -1, order="F"))

    def test_bit_counts(self):
        x = np.arange(10.0)
        y = lf.bit_count_adapt(x, 10, 1, 2, 1)
        eq(y, [1, 3, 5, 7, 9])
        eq(lf.bit_count_restore(y, 10, 1, 2, 1), [0, 1, 0, 3, 0, 5, 0, 7, 0, 9])


class TestParityCheck:
    H_ROWS = np.array([[1, 2], [2, 0]])

    def test_parity_check_coder(self):
        w = golden("ldpc_staircase")
        eq(lf.parity_check_coder(w["data"][0], w["h_rows"]), w["codeword"][0])
        eq(lf.parity_check_coder(w["data"], w["h_rows"], None), w["codeword"])
        eq(lf.parity_check_coder([0, 0, 0, 0], [[1, 3], [2, 4], [1, 4], [2, 3]], np.eye(2)), np.zeros(8))

    def test_sparse_graph_solve(self):
        output, errors = lf.sparse_graph_solve([-1.5, 1.5, -1.5, -1.5], self.H_ROWS, [[1, 0], [1, 2]], 3,
                                               data=[1, 0])
        assert output.shape == (3, 4) and errors.dtype == np.int64
        eq(output[0], [1, 0, 1, 1])
        eq(errors, [0, 0, 0])

    def test_graph_state(self):
        state = lf.graph_state_setup([1, 3], [[0], [-1]], [[0], [-1]])
        assert (state.bits, state.checks) == (2, 2)
        out, bits = lf.graph_state_step([0, -2.5], state, 2)
        eq(out, [-10, -2.5])
        eq(bits, [0, 0])
        out, bits = lf.graph_state_step([0, -2.5], state)  # steps go on from the state
        assert out.shape == (2,)

    def test_graph_state_records(self):
        state = lf.graph_state_setup([0, -3.5, 10, 10.5, 5, 5.5], [[0, 1, 2], [2, 3, 4], [0, 4, 5]],
                                     [[0, 2], [0, -1], [0, 1], [1, -1], [1, 2], [2, -1]])
        vn, cn = state.vn_state, state.cn_state
        eq(vn[0]["q_magnitude"], [10, 10])
        eq(vn[1]["q_sign"], [1])
        eq(vn[2]["q_magnitude"], np.float32(golden("ldpc_staircase")["q"][[1, 1]]))
        eq(vn[4]["checks"], [1, 2])
        eq(cn[1]["bits"], [2, 3, 4])
        for i, check in enumerate(cn):  # sockets lead back to the same edge from both sides
            for j, (v, s) in enumerate(zip(check["bits"], check["sockets"])):
                assert (vn[v]["checks"][s], vn[v]["sockets"][s]) == (i, j)


class TestModem:
    def test_modulate(self):
        eq(lf.modulate([0, 1, 1, 0], S4), [20 + 1j, 30 - 2j])
        eq(lf.modulate([1, 0, 1, 1, 1], S4), [30 - 2j, 40, 30 - 2j])
        points = np.array([[0, 0], [1, -1], [2, -2], [3, -3]])  # row l is point l
        eq(lf.modulate([1, 1, 0, 1], points), [[3, -3], [1, -1]])

    def test_plane_metrics(self):
        w = golden("plane_metrics")
        eq(lf.plane_metrics(w["y"], w["points"], w["es_no"][0]), [w["metrics"]])
        eq(lf.plane_metrics([1j], [1, 1j, -1], 1, fade_coef=[1j]), lf.plane_metrics([1j], [1j, -1, -1j], 1))

    def test_tone_metrics(self):
        eq(lf.tone_metrics([[1, 0]], 1), [[2, 0]])
        eq(lf.tone_metrics([[1j]], 1, 0, [1j]), [[2]])

    def test_symbol_bit_metrics(self):
        w = golden("symbol_bit_metrics")
        for M, kind, metrics, prior, llr in zip(w["M"], w["type"], w["metrics"], w["prior"], w["llr"]):
            eq(lf.symbol_bit_metrics(metrics.reshape(-1, int(M[0])), int(kind[0]), *([prior] if prior.size else [])), llr)
        eq(lf.symbol_bit_metrics(lf.plane_metrics([0.5, -2], [1, -1], 1)), [-2, 8])

    def test_relay_metrics(self):
        eq(lf.relay_label_metrics([0, 5, 5, 0], 2, 1), [5])
        eq(lf.relay_label_metrics([0, 4, 0, 0, 0, 9, 0, 0, 0], 3, 1), [9])
        eq(lf.relay_frequency_metrics([[1, 3], [2, 4]], 1, 3, [1, 1], [1, 1], 1, 1, 0), np.zeros(8))


class TestCapacity:
    def test_capacity(self):
        assert lf.capacity([10, -10], [1, 0]) == pytest.approx(1 - np.log1p(np.exp(-10)) / np.log(2), abs=1e-7)
        assert lf.capacity(np.tile([100, 0, 0, 0], (500, 1)), np.zeros(1000)) == 1

    def test_info_rate_table(self):
        E, C, D = [0, 10.0], [0, 1.0], [0.1]
        eq(lf.info_rate_table(E, C, D, [[5], [10], [20], [0], [-3]]), [0.5, 1, 1, 0, 0])
        eq(lf.info_rate_table(E, C, D, [5, 20]), 1.5)
