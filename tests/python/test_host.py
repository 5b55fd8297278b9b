"""Host conventions of every function: keywords, docstrings and the stub, dtypes and
strides, zero sizes, refusals as Python exceptions (never a crash), the memory budget
and Ctrl-C."""

import ast
import os
import pathlib
import signal
import threading
import time

import numpy as np
import pytest

import linkforge as lf

G75 = np.array([[1.0, 1, 1], [1, 0, 1]])
POLY = np.array([[1.0, 0, 1, 1], [1, 0, 0, 1]])
H_ROWS = np.array([[1.0, 2, 0], [2, 3, 4], [1, 3, 0], [4, 0, 0]])
H_COLS = np.array([[1.0, 3], [1, 2], [2, 3], [2, 4]])
QPSK = np.array([1 + 1j, -1 + 1j, 1 - 1j, -1 - 1j])
RNG = np.random.default_rng(11)
SOFT = RNG.normal(size=(2, 24))

# A valid call of every function, by keyword. The first entry is its main array argument.
CALLS = {
    "trellis_coder": dict(input=np.array([[1.0, 0, 1, 1]]), g_encoder=G75, code_type=1),
    "trellis_posterior": dict(input_u=np.zeros((2, 4)), input_c=SOFT[:, :12], g_encoder=G75),
    "trellis_best_path": dict(input_c=SOFT[:, :12], g_encoder=G75, code_type=1, depth=2),
    "viterbi_decode": dict(input_c=SOFT, g_encoder=G75, code_type=2, depth=1, threads=1),
    "turbo_decode": dict(ys=SOFT[:, :6], yp1=SOFT[:, 6:12], yp2=SOFT[:, 12:18], ytail=SOFT[:, :12],
                         g=np.array([[1.0, 0, 1, 1], [1, 1, 0, 1]]), alpha=np.array([3.0, 0, 5, 1, 4, 2]),
                         iterations=2, decoder_type=1, threads=1, early_stop=True),
    "circular_pair_coder": dict(x=np.array([1.0, 0, 0, 1, 1, 1]), poly=POLY),
    "circular_pair_posterior": dict(inx=SOFT[:, :6].reshape(2, 2, 3), inz=SOFT[:, 6:12].reshape(2, 2, 3),
                                    poly=POLY, dec_type=4),
    "circular_turbo_decode": dict(Lx=SOFT, Lz1=-SOFT, Lz2=SOFT[::-1], poly=POLY,
                                  alpha=np.arange(8.0)[::-1], swap=np.array([1.0, 0, 0, 1, 0, 1, 0, 0]),
                                  iterations=2, dec_type=1, threads=1),
    "wcdma_permutation": dict(K=40),
    "space_link_permutation": dict(K=1784),
    "spread_permutation": dict(Length=30, S=2),
    "seeded_spread_permutation": dict(Length=30, S=2, seed=3),
    "interleave": dict(input=SOFT, alpha_code=np.arange(24.0)[::-1]),
    "deinterleave": dict(input=SOFT, alpha_code=np.arange(24.0)[::-1]),
    "puncture": dict(input=SOFT[:, :10], pun_pattern=np.array([[1.0, 2], [0, 1]]),
                     tail_pattern=np.array([[1.0], [1]])),
    "depuncture": dict(input=SOFT[0, :8], pun_pattern=np.array([[1.0, 2], [0, 1]])),
    "bit_count_adapt": dict(x=SOFT, X_i=24, e_ini=1, e_plus=3, e_minus=1),
    "bit_count_restore": dict(x=SOFT[:, :16], X_i=24, e_ini=1, e_plus=3, e_minus=1),
    "parity_check_coder": dict(data=np.array([[1.0, 0, 1, 1]]), H_rows=H_ROWS, P=None),
    "sparse_graph_solve": dict(input=SOFT[0, :8], H_rows=H_ROWS, H_cols=H_COLS, max_iter=3, dec_type=1,
                               r_scale_factor=0.8, q_scale_factor=1.0, data=np.array([1.0, 0, 1, 1])),
    "sparse_graph_decode": dict(input=SOFT[:, :8], H_rows=H_ROWS, H_cols=H_COLS, max_iter=3, dec_type=0,
                                r_scale_factor=1.0, q_scale_factor=1.0, data=np.array([1.0, 0, 1, 1]),
                                threads=1),
    "graph_state_setup": dict(input=SOFT[0, :6], check_index=np.array([[0.0, 1, 2], [2, 3, 4], [0, 4, 5]]),
                              var_index=np.array([[0.0, 2], [0, -1], [0, 1], [1, -1], [1, 2], [2, -1]])),
    "modulate": dict(input=np.array([[1.0, 0, 1, 1], [0, 0, 1, 0]]), S_matrix=QPSK),
    "plane_metrics": dict(input=SOFT[:, :5] + 1j * SOFT[:, 5:10], S_matrix=QPSK, EsNo=2.0,
                          fade_coef=np.ones((2, 5)) * 0.5j),
    "tone_metrics": dict(input=SOFT[:, :8].reshape(2, 2, 4) + 0j, EsNo=1.5, csi_flag=1,
                         fade_coef=np.ones((2, 2)) + 0j),
    "relay_frequency_metrics": dict(input=SOFT[:, :4].T + 0j, EsNo=1.0, csi_flag=1, a1=np.ones(4) + 0j,
                                    a2=np.ones(4) * 1j, sqE1=1.0, sqE2=1.0, csi1switch=0),
    "symbol_bit_metrics": dict(input=SOFT[:, :8].reshape(2, 2, 4), demod_type=3,
                               extrinsic_info=SOFT[:, 8:12]),
    "relay_label_metrics": dict(sym_log_likelihood=SOFT, mod_order=2, demod_type=4,
                                extrinsic_info=SOFT[:, :6]),
    "soft_demap": dict(input=SOFT[:, :5] + 1j * SOFT[:, 5:10], S_matrix=QPSK, EsNo=1.0, demod_type=4,
                       extrinsic_info=SOFT[:, :10], fade_coef=None, threads=1),
    "capacity": dict(input=SOFT[0], data=(SOFT[1] > 0).astype(float)),
    "info_rate_table": dict(EsNo_AWGN=np.array([0.0, 10]), capacity_AWGN=np.array([0.0, 1]),
                            slope=np.array([0.1]), gamma=SOFT * 5),
    "nr_ldpc_encode": dict(data=(SOFT[:, :20] > 0).astype(float), bg=2, Z=2),
    "nr_ldpc_decode": dict(llr=np.tile(SOFT, (1, 5))[:, :104], bg=2, Z=2, max_iterations=3,
                           algorithm="offset-min-sum", scale_or_offset=0.25, threads=1),
    "nr_ldpc_rate_match": dict(codeword=np.tile(SOFT > 0, (1, 5))[:, :104].astype(float), bg=2, Z=2, E=30,
                               rv=1, Qm=2, K_prime=18, N_ref=90),
    "nr_ldpc_rate_recover": dict(llr=SOFT, bg=2, Z=2, rv=3, Qm=4, K_prime=18, N_ref=0),
    "nr_ldpc_segment": dict(A=10008, R=0.2, G=12008, Qm=4, layers=1),
    "crc_attach": dict(data=(SOFT > 0).astype(float), name="24A"),
    "crc_check": dict(word=(SOFT > 0).astype(float), name="16"),
    "qpp_permutation": dict(K=40),
    "polar_construct": dict(K=12, N=32),
    "polar_encode": dict(data=(np.tile(SOFT, (1, 2))[:, :12] > 0).astype(float), N=32),
    "polar_decode": dict(llr=np.tile(SOFT, (1, 2))[:, :32], K=12, N=32, L=4, crc="6", threads=1),
    "polar_code_length": dict(K=12, E=40, link="uplink"),
    "polar_rate_match": dict(code=np.tile(SOFT > 0, (1, 2))[:, :32].astype(float), K=12, E=40,
                             interleave=True),
    "polar_rate_recover": dict(llr=np.tile(SOFT, (1, 2))[:, :40], K=12, N=32, interleave=True),
}
STATEFUL = {"spread_permutation"}  # draws from a generator kept from call to call
ARRAY_CALLS = {name: kw for name, kw in CALLS.items() if isinstance(next(iter(kw.values())), np.ndarray)}


def call(name, /, **changes):  # positional: functions may take a `name` keyword
    kwargs = dict(CALLS[name], **changes)
    return getattr(lf, name)(**kwargs)


def first(name):
    return next(iter(CALLS[name]))


def strided(a):
    """The same values in a non-contiguous view."""
    return np.repeat(a, 2, axis=-1)[..., ::2] if isinstance(a, np.ndarray) and a.ndim else a


def same(a, b):
    if isinstance(a, tuple):
        for x, y in zip(a, b):
            same(x, y)
    elif isinstance(a, lf.GraphState):
        assert (a.bits, a.checks) == (b.bits, b.checks)
    elif isinstance(a, dict):
        assert a.keys() == b.keys()
        for key in a:
            same(a[key], b[key])
    else:
        np.testing.assert_array_equal(a, b)


class TestInterface:
    def test_every_function_has_a_docstring_and_a_stub(self):
        stub = pathlib.Path(lf.__file__).with_name("_linkforge.pyi")
        tree = ast.parse(stub.read_text())
        stubbed = {n.name for n in tree.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
        public = {n for n in dir(lf._linkforge) if not n.startswith("_")}
        assert stubbed == public
        assert set(CALLS) | {"graph_state_step", "GraphState"} == public
        for name in public:
            doc = getattr(lf, name).__doc__
            assert doc and name in doc.splitlines()[0] or name == "GraphState", name

    @pytest.mark.parametrize("name", sorted(set(CALLS) - STATEFUL))
    def test_keywords_match_positions(self, name):
        same(getattr(lf, name)(*CALLS[name].values()), call(name))

    @pytest.mark.parametrize("name", sorted(set(ARRAY_CALLS) - STATEFUL))
    def test_strides_and_dtypes_give_the_same_values(self, name):
        expected = call(name)
        same(call(name, **{k: strided(v) for k, v in CALLS[name].items()}), expected)
        arg = first(name)
        value = CALLS[name][arg]
        if value.dtype == np.float64 and np.all(value == np.round(value)):
            same(call(name, **{arg: value.astype(np.int32)}), expected)

    def test_broadcast_frames(self):
        row = np.asarray(CALLS["viterbi_decode"]["input_c"][0])
        view = np.broadcast_to(row, (1000, row.size))  # read-only, zero frame stride
        out = lf.viterbi_decode(view, G75, 1)
        assert out.shape == (1000, 10) and out.flags.c_contiguous and out.flags.writeable
        np.testing.assert_array_equal(out, np.broadcast_to(lf.viterbi_decode(row, G75, 1), out.shape))


class TestRefusals:
    @pytest.mark.parametrize("name", sorted(ARRAY_CALLS))
    def test_non_numeric_arrays(self, name):
        with pytest.raises(TypeError, match=first(name)):
            call(name, **{first(name): np.array(["a", "b"])})
        with pytest.raises(TypeError):
            call(name, **{first(name): None if first(name) != "tail_pattern" else "x"})

    @pytest.mark.parametrize("name", sorted(ARRAY_CALLS))
    def test_scalars_and_more_axes(self, name):
        with pytest.raises(ValueError):
            call(name, **{first(name): np.float64(1.5)})
        try:  # more leading axes are more frames where the function takes frames
            call(name, **{first(name): np.zeros((2, 3, 4, 5, 6))})
        except ValueError:
            pass

    @pytest.mark.parametrize("name", sorted(n for n, kw in ARRAY_CALLS.items()
                                            if not np.iscomplexobj(next(iter(kw.values())))
                                            and n not in {"soft_demap"}))
    def test_complex_where_real(self, name):
        with pytest.raises(TypeError, match="real"):
            call(name, **{first(name): CALLS[name][first(name)] + 1j})

    @pytest.mark.parametrize("name", sorted(ARRAY_CALLS))
    def test_zero_sizes_never_crash(self, name):
        for shape in [(0,), (0, 0), (3, 0), (0, 5)]:
            try:
                call(name, **{first(name): np.zeros(shape)})
            except (ValueError, TypeError):
                pass

    @pytest.mark.parametrize("name", ["trellis_posterior", "trellis_best_path", "viterbi_decode",
                                      "turbo_decode", "circular_pair_posterior", "circular_turbo_decode",
                                      "sparse_graph_solve", "sparse_graph_decode", "graph_state_setup",
                                      "symbol_bit_metrics", "relay_label_metrics", "soft_demap",
                                      "capacity", "trellis_coder", "nr_ldpc_decode",
                                      "nr_ldpc_rate_recover", "polar_rate_recover"])
    def test_nan_and_overflowing_soft_values(self, name):
        bad = np.array(CALLS[name][first(name)], dtype=np.result_type(CALLS[name][first(name)], float))
        bad.flat[1] = np.nan
        with pytest.raises(ValueError, match="NaN"):
            call(name, **{first(name): bad})
        if name != "trellis_coder":
            bad.flat[1] = 1e39
            with pytest.raises(ValueError, match="single-precision"):
                call(name, **{first(name): bad})

    @pytest.mark.parametrize("name, changes, message", [
        ("turbo_decode", dict(yp1=SOFT[:, :5]), "same shape"),
        ("turbo_decode", dict(alpha=np.array([0.0, 1, 2, 3, 4, 6])), r"alpha\[5\] = 6"),
        ("turbo_decode", dict(iterations=0), "iterations"),
        ("turbo_decode", dict(decoder_type=5), "decoder_type"),
        ("viterbi_decode", dict(threads=-1), "threads"),
        ("viterbi_decode", dict(input_c=SOFT[:, :5]), "multiple of n"),
        ("sparse_graph_decode", dict(data=np.zeros(3)), "data"),
        ("sparse_graph_decode", dict(dec_type=2), "dec_type"),
        ("soft_demap", dict(S_matrix=QPSK[:3]), "power of 2"),
        ("soft_demap", dict(EsNo=-1.0), "EsNo"),
        ("circular_turbo_decode", dict(poly=POLY.T), "poly"),
        ("wcdma_permutation", dict(K=39), "40"),
        ("seeded_spread_permutation", dict(seed=0), "seed"),
        # Places count from 0; positions in H_rows and H_cols from 1, as given.
        ("sparse_graph_solve", dict(H_rows=np.array([[1.0, 5, 0], [2, 3, 4], [1, 3, 0], [4, 0, 0]])),
         r"H_rows\[0, 1\] is not a position in 1\.\.4"),
        ("sparse_graph_decode", dict(H_rows=np.array([[1.0, 1, 0], [2, 3, 4], [1, 3, 0], [4, 0, 0]])),
         r"H_rows\[0\] lists position 1 twice"),
        ("graph_state_setup", dict(check_index=np.array([[0.0, 1, 9], [2, 3, 4], [0, 4, 5]])),
         r"check_index\[0, 2\] = 9 lies outside 0\.\.5"),
    ])
    def test_bad_values_name_the_argument(self, name, changes, message):
        with pytest.raises(ValueError, match=message):
            call(name, **changes)

    def test_wrong_scalar_types(self):
        with pytest.raises(TypeError):
            call("turbo_decode", iterations=2.5)
        with pytest.raises(TypeError):
            call("soft_demap", EsNo="1")

    def test_a_state_is_stepped_by_one_thread_at_a_time(self):
        state = call("graph_state_setup")
        with pytest.raises(ValueError, match="more than the state"):
            lf.graph_state_step(np.zeros(7), state)
        with pytest.raises(ValueError, match="checks"):
            lf.graph_state_step(np.zeros(6), state, 4)


class TestMemory:
    HUGE = np.lib.stride_tricks.as_strided(np.zeros(1), shape=(10**9, 10**6), strides=(0, 0))

    @pytest.mark.parametrize("name", ["viterbi_decode", "trellis_best_path", "soft_demap", "interleave",
                                      "sparse_graph_decode", "bit_count_adapt", "symbol_bit_metrics"])
    def test_huge_frames_are_refused(self, name):
        huge = self.HUGE[:, :CALLS[name][first(name)].shape[-1]] if name in {"sparse_graph_decode", "soft_demap",
                                                                            "bit_count_adapt", "interleave"} else self.HUGE
        if name == "symbol_bit_metrics":
            huge = self.HUGE[:, :4]
        with pytest.raises(MemoryError):
            call(name, **{first(name): huge, **({"extrinsic_info": None} if "extrinsic_info" in CALLS[name] else {})})

    def test_huge_codes_and_lengths_are_refused(self):
        with pytest.raises(MemoryError):
            lf.viterbi_decode(np.zeros((1, 2 * 40)), np.ones((2, 31)))
        with pytest.raises(MemoryError):
            lf.seeded_spread_permutation(2**31 - 1, 2, 1)

    def test_threads_without_frames_take_no_memory(self, monkeypatch):
        # One 5114-bit frame asked of 1024 threads: one thread's arrays, not 1024.
        monkeypatch.setenv("LINKFORGE_MEMORY_BUDGET", "64M")
        L, g = 5114, np.array([[1.0, 0, 1, 1], [1, 1, 0, 1]])
        z = np.zeros((1, L))
        lf.turbo_decode(z, z, z, np.zeros((1, 12)), g, np.arange(L), 2, 1, threads=1024)
        lf.viterbi_decode(np.zeros((1, 2 * (L + 2))), G75, 0, threads=1024)

    def test_the_budget_is_read_from_the_environment(self, monkeypatch):
        monkeypatch.setenv("LINKFORGE_MEMORY_BUDGET", "64K")
        with pytest.raises(MemoryError, match="LINKFORGE_MEMORY_BUDGET"):
            lf.viterbi_decode(np.zeros((1000, 24)), G75, 1)
        monkeypatch.setenv("LINKFORGE_MEMORY_BUDGET", "lots")
        with pytest.raises(ValueError, match="LINKFORGE_MEMORY_BUDGET"):
            lf.viterbi_decode(np.zeros((1, 24)), G75, 1)


LONG_VITERBI = dict(input_c=np.lib.stride_tricks.as_strided(np.ones(1), shape=(2000, 2 * 3000), strides=(0, 0)),
                    g_encoder=np.vstack([np.ones(13), np.arange(13) % 2]), code_type=1, depth=6, threads=2)


@pytest.mark.parametrize("name, kwargs", [
    ("seeded_spread_permutation", dict(Length=5114, S=200, seed=1)),  # gives up after about a minute
    ("viterbi_decode", LONG_VITERBI),  # a few seconds on two threads
])
def test_ctrl_c_stops_a_long_call(name, kwargs):
    timer = threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        getattr(lf, name)(**kwargs)
    timer.join()
    assert time.monotonic() - start < 1.5
    assert lf.wcdma_permutation(40)[0] == 39  # the module still works
