"""Reference values kept once for the C++, Octave and Python tests: golden(name) reads
tests/golden/<name>.txt (in the folder LINKFORGE_GOLDEN_DIR names) into a dict with an
array per key given once and a list of arrays, in file order, per key given on several
lines."""

import os
import pathlib

import numpy as np


def golden(name):
    folder = pathlib.Path(os.environ.get("LINKFORGE_GOLDEN_DIR") or pathlib.Path(__file__).parents[1] / "golden")
    first, *lines = (folder / f"{name}.txt").read_text().splitlines()
    if not first.startswith(f"# {name}: "):
        raise ValueError(f'{name}.txt does not begin with "# {name}: <origin>"')
    values = {}
    for entry in "|".join(line for line in lines if not line.startswith("#")).split("|"):
        if entry.split():
            key, *numbers = entry.split()
            values.setdefault(key, []).append(np.array(numbers, dtype=float))
    return {key: rows[0] if len(rows) == 1 else rows for key, rows in values.items()}
