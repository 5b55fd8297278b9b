"""The polar functions through Python: shapes and dtypes of frames, the CRC and list
arguments, refusals; the decoding itself is checked in C++ and through Octave."""

import numpy as np
import pytest

import linkforge as lf


def test_round_trip_with_leading_axes():
    info = lf.polar_construct(40, 64)
    assert info.dtype == np.int64 and info.shape == (40,) and np.all(np.diff(info) > 0)
    rng = np.random.default_rng(4)
    data = lf.crc_attach(rng.integers(0, 2, (2, 3, 29)).astype(float), "11")
    code = lf.polar_encode(data, 64)
    assert code.shape == (2, 3, 64) and code.dtype == np.float64
    np.testing.assert_array_equal(code[1, 2], lf.polar_encode(data[1, 2], 64))
    llr = 4.0 * (2 * code - 1)
    for L, crc in [(1, None), (8, "11"), (32, None)]:
        np.testing.assert_array_equal(lf.polar_decode(llr, 40, 64, L, crc), data)
    np.testing.assert_array_equal(lf.polar_decode(llr.astype(np.float32)[..., ::1], K=40, N=64, L=2, threads=1), data)
    assert lf.polar_decode(np.zeros((0, 64)), 40, 64).shape == (0, 40)


@pytest.mark.parametrize("call, error, message", [
    (lambda: lf.polar_construct(10, 100), ValueError, "power of two"),
    (lambda: lf.polar_construct(-1, 64), ValueError, "K must be a positive integer"),
    (lambda: lf.polar_encode([1, 0, 2], 32), ValueError, "only 0 and 1"),
    (lambda: lf.polar_encode([np.nan, 0], 32), ValueError, "only 0 and 1"),
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 3), ValueError, "list size"),
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 8, "12"), ValueError, "'12' is not a CRC"),
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 8, 11), TypeError, "CRC name"),
    (lambda: lf.polar_decode(np.zeros(32), 6, 32, 8, "6"), ValueError, "no data before"),
    (lambda: lf.polar_decode(np.full(32, np.inf), 6, 32), ValueError, "single-precision"),
    (lambda: lf.polar_decode(np.zeros(64), 20, 32), ValueError, "N = 32 values per frame"),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match=message):
        call()
