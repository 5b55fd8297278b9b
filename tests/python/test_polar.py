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
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 3), ValueError, "L must be a power of two from 1 to 32, got 3"),
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 8, "12"), ValueError, "'12' is not a CRC"),
    (lambda: lf.polar_decode(np.zeros(64), 40, 64, 8, 11), TypeError, "CRC name"),
    (lambda: lf.polar_decode(np.zeros(32), 6, 32, 8, "6"), ValueError, "no data before"),
    (lambda: lf.polar_decode(np.full(32, np.inf), 6, 32), ValueError, "single-precision"),
    (lambda: lf.polar_decode(np.zeros(64), 20, 32), ValueError, "N = 32 values per frame"),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_rate_matching_shapes_and_chain():
    assert lf.polar_code_length(64, 432) == 512 and lf.polar_code_length(200, 2000, "uplink") == 1024
    np.testing.assert_array_equal(lf.polar_construct(12, 32, np.int64(20))[:3], [6, 7, 9])
    np.testing.assert_array_equal(lf.polar_construct(64, 512, E=432), lf.polar_construct(64, 512))
    K, E, N = 64, 432, 512
    rng = np.random.default_rng(5)
    data = lf.crc_attach(rng.integers(0, 2, (2, 3, K - 11)).astype(float), "11")
    code = lf.polar_encode(data, N)
    sent = lf.polar_rate_match(code, K, E, interleave=True)
    assert sent.shape == (2, 3, E) and sent.dtype == np.float64
    np.testing.assert_array_equal(sent[1, 0], lf.polar_rate_match(code[1, 0], K, E, True))
    llr = lf.polar_rate_recover((4.0 * (2 * sent - 1)).astype(np.float32), K, N, True)
    assert llr.shape == (2, 3, N) and llr.dtype == np.float64
    np.testing.assert_array_equal(lf.polar_decode(llr, K, N, 8, "11"), data)
    K, E, N = 100, 140, 256  # shortening: the positions move, encode and decode take E
    data = rng.integers(0, 2, (2, K)).astype(float)
    llr = lf.polar_rate_recover(4.0 * (2 * lf.polar_rate_match(lf.polar_encode(data, N, E), K, E) - 1), K, N)
    np.testing.assert_array_equal(lf.polar_decode(llr, K, N, E=np.int32(E)), data)
    assert lf.polar_rate_match(np.zeros((0, 32)), 1, 5).shape == (0, 5)
    assert lf.polar_rate_recover(np.zeros((0, 5)), 1, 32).shape == (0, 32)


@pytest.mark.parametrize("call, error, message", [
    (lambda: lf.polar_code_length(600, 700), ValueError, "exceeds the longest code"),
    (lambda: lf.polar_code_length(20, 10), ValueError, "E must be from 20 to"),
    (lambda: lf.polar_code_length(0, 10), ValueError, "K must be a positive integer"),
    (lambda: lf.polar_code_length(20, 100, "up"), ValueError, "'downlink' or 'uplink'"),
    (lambda: lf.polar_construct(20, 32, 10), ValueError, "E must be from 20 to"),
    (lambda: lf.polar_construct(20, 32, "a"), TypeError, "E must be an integer"),
    (lambda: lf.polar_rate_match(np.zeros(48), 10, 100), ValueError, "power of two"),
    (lambda: lf.polar_rate_match(np.full(32, np.nan), 10, 100), ValueError, "NaN"),
    (lambda: lf.polar_rate_match(np.zeros(32), 10, 2**21), ValueError, "E must be from 10 to"),
    (lambda: lf.polar_rate_recover(np.zeros(9), 10, 32), ValueError, "E must be from 10 to"),
    (lambda: lf.polar_rate_recover(np.full(20, np.inf), 10, 32), ValueError, "single-precision"),
    (lambda: lf.polar_rate_recover(np.zeros(20), 10, -32), ValueError, "N must be a positive integer"),
])
def test_rate_matching_refusals(call, error, message):
    with pytest.raises(error, match=message):
        call()
