"""nr_ldpc_encode and nr_ldpc_decode as Python functions: batch shapes, dtypes and
errors (the arithmetic is tested in C++ and through Octave)."""

import numpy as np
import pytest

import linkforge as lf
from golden import golden


def test_batch_shapes_and_dtypes():
    rng = np.random.default_rng(5)
    data = rng.integers(0, 2, size=(2, 3, 20))          # int64 data, two leading axes
    c = lf.nr_ldpc_encode(data, 2, 2)
    assert c.shape == (2, 3, 104) and c.dtype == np.float64
    np.testing.assert_array_equal(c[..., :20], data)
    np.testing.assert_array_equal(lf.nr_ldpc_encode(data[1, 2].astype(bool), 2, 2), c[1, 2])
    llr = 4.0 * (2 * c - 1)
    llr[..., :4] = 0
    bits, app, iterations = lf.nr_ldpc_decode(llr, 2, 2, max_iterations=10, algorithm="min-sum")
    assert bits.shape == app.shape == (2, 3, 104) and iterations.shape == (2, 3)
    assert bits.dtype == app.dtype == np.float64 and iterations.dtype == np.int64
    np.testing.assert_array_equal(bits, c)
    one = lf.nr_ldpc_decode(llr[0, 1].astype(np.float32), 2, 2, 10, 1)
    np.testing.assert_array_equal(one[0], bits[0, 1])
    assert one[2].shape == () and one[2] == iterations[0, 1]


@pytest.mark.parametrize("call, message", [
    (lambda: lf.nr_ldpc_encode(np.zeros(20), 2, 17), "nearest is 16"),
    (lambda: lf.nr_ldpc_encode(np.zeros(20), 0, 2), "bg"),
    (lambda: lf.nr_ldpc_encode(np.zeros(21), 2, 2), "20 bits per frame"),
    (lambda: lf.nr_ldpc_encode(np.full(20, 0.5), 2, 2), "not 0 or 1"),
    (lambda: lf.nr_ldpc_decode(np.zeros(100), 2, 2), "104"),
    (lambda: lf.nr_ldpc_decode(np.zeros(104), 2, 2, algorithm="bp"), "algorithm"),
    (lambda: lf.nr_ldpc_decode(np.zeros(104), 2, 2, algorithm=7), "algorithm"),
    (lambda: lf.nr_ldpc_decode(np.zeros(104), 2, 2, algorithm=2, scale_or_offset=0.0), "scale"),
    (lambda: lf.nr_ldpc_decode(np.zeros(104), 2, 2, max_iterations=-1), "max_iterations"),
])
def test_refusals(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_algorithm_of_another_type():
    with pytest.raises(TypeError, match="algorithm"):
        lf.nr_ldpc_decode(np.zeros(104), 2, 2, algorithm=1.5)


def test_rate_matching_shapes_and_errors():
    c = lf.nr_ldpc_encode(np.zeros((4, 1, 20)), 2, 2)
    sent = lf.nr_ldpc_rate_match(c, 2, 2, 24, rv=2, Qm=6)
    assert sent.shape == (4, 1, 24)
    back = lf.nr_ldpc_rate_recover(2 * sent - 1, 2, 2, rv=2, Qm=6)
    assert back.shape == (4, 1, 104)
    np.testing.assert_array_equal(lf.nr_ldpc_decode(back, 2, 2)[0], c)
    with pytest.raises(ValueError, match="multiple of Qm"):
        lf.nr_ldpc_rate_match(c, 2, 2, 25, Qm=2)
    with pytest.raises(ValueError, match="K'"):
        lf.nr_ldpc_rate_recover(np.zeros(8), 2, 2, K_prime=21)
    with pytest.raises(ValueError, match="104"):
        lf.nr_ldpc_rate_match(c[..., :100], 2, 2, 24)


def test_segment_returns_a_dict():
    w = golden("nr_segment")
    for k, A in enumerate(w["A"]):
        s = lf.nr_ldpc_segment(int(A[0]), w["R"][k][0], G=int(w["G"][k][0]), Qm=int(w["Qm"][k][0]))
        for key in ("bg", "Z", "C", "K_prime", "K", "tb_crc", "cb_crc", "E"):
            np.testing.assert_array_equal(s[key], w[key][k] if key == "E" else w[key][k][0], err_msg=f"A {A}: {key}")
        assert s["E"].dtype == np.int64
    assert lf.nr_ldpc_segment(100, 0.5)["E"].shape == (0,)
    with pytest.raises(ValueError, match="code rate"):
        lf.nr_ldpc_segment(100, 1.5)
