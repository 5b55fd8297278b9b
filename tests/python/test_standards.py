"""crc_attach, crc_check and qpp_permutation as Python functions: batch shapes, dtypes
and errors (the arithmetic is tested in C++ and through Octave)."""

import numpy as np
import pytest

import linkforge as lf
from golden import golden


def test_crc_batch_shapes_and_dtypes():
    rng = np.random.default_rng(36212)
    data = rng.integers(0, 2, size=(2, 3, 40))          # int64 bits, two leading axes
    word = lf.crc_attach(data, "24A")
    assert word.shape == (2, 3, 64) and word.dtype == np.float64
    np.testing.assert_array_equal(word[..., :40], data)
    np.testing.assert_array_equal(lf.crc_attach(data[1, 2].astype(bool), "24A"), word[1, 2])
    np.testing.assert_array_equal(lf.crc_attach(data.astype(np.uint8)[:, :, None, :], "24A")[:, :, 0], word)
    word[0, 1, 7] = 1 - word[0, 1, 7]
    back, ok = lf.crc_check(word, "24A")
    assert back.shape == (2, 3, 40) and back.dtype == np.float64
    assert ok.shape == (2, 3) and ok.dtype == np.bool_
    np.testing.assert_array_equal(ok, [[True, False, True], [True, True, True]])
    np.testing.assert_array_equal(back[ok], data[ok])
    one_back, one_ok = lf.crc_check(word[1, 0], "24A")
    assert one_ok.shape == () and one_ok and one_back.shape == (40,)


def test_crc_of_the_catalogue_message():
    v = golden("crc_check_values")
    bits = np.unpackbits(v["message"].astype(np.uint8))
    parity = lf.crc_attach(bits, "8")[72:]
    assert int("".join(str(int(b)) for b in parity), 2) == v["gCRC8"][0]


def test_crc_empty_frames_and_blocks():
    assert lf.crc_attach(np.zeros((0, 5)), "16").shape == (0, 21)
    np.testing.assert_array_equal(lf.crc_attach(np.zeros((2, 0)), "6"), np.zeros((2, 6)))
    data, ok = lf.crc_check(np.zeros((3, 11)), "11")
    assert data.shape == (3, 0) and ok.all()


@pytest.mark.parametrize("call, error, message", [
    (lambda: lf.crc_attach(np.zeros(8), "24a"), ValueError, r"name '24a' is not a CRC: use one of '24A', .*'6'"),
    (lambda: lf.crc_attach(np.zeros(8), 16), TypeError, "name must be a str"),
    (lambda: lf.crc_attach(np.array([0.0, 1, 2]), "8"), ValueError, "data = 2 is not 0 or 1"),
    (lambda: lf.crc_attach(np.array([0.0, np.nan]), "8"), ValueError, "data must not contain NaN"),
    (lambda: lf.crc_attach(np.array([0, 1j]), "8"), TypeError, "real"),
    (lambda: lf.crc_attach(np.array(["0", "1"]), "8"), TypeError, "data"),
    (lambda: lf.crc_attach(np.float64(1), "8"), ValueError, "data"),
    (lambda: lf.crc_check(np.zeros(5), "6"), ValueError, "at least the 6 parity bits of CRC '6' per frame, not 5"),
    (lambda: lf.crc_check(np.full(9, 0.5), "6"), ValueError, "word = 0.5 is not 0 or 1"),
    (lambda: lf.qpp_permutation(1000), ValueError,
     "K = 1000 is not an LTE interleaver size; the nearest are 992 and 1008"),
    (lambda: lf.qpp_permutation(2**40), ValueError, "the nearest is 6144"),
    (lambda: lf.qpp_permutation(40.0), TypeError, ""),
])
def test_refusals(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_qpp_permutation_is_an_index_array_for_the_permuters():
    alpha = lf.qpp_permutation(6144)
    assert alpha.dtype == np.int64 and alpha.shape == (6144,)
    data = np.arange(6144.0) * 2
    np.testing.assert_array_equal(lf.interleave(data, alpha), data[alpha])
    np.testing.assert_array_equal(lf.deinterleave(lf.interleave(data, alpha), alpha), data)
