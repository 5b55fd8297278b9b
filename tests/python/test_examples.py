"""The Python link examples run end to end on a tiny budget: the table, the CSV with a
row per point and curve, and the plot."""

import csv
import os
import subprocess
import sys

import pytest

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python")


@pytest.mark.parametrize("script, args, curves", [
    ("turbo_link.py", ["--ebn0", "0", "0.5", "--K", "256", "--max-frames", "32"], 2),
    ("ldpc_link.py", ["--ebn0", "1", "2", "--k", "200", "--iterations", "10", "--max-frames", "32"], 2),
])
def test_example_writes_its_table_csv_and_plot(tmp_path, script, args, curves):
    run = subprocess.run([sys.executable, os.path.join(EXAMPLES, script), *args,
                          "--output-dir", str(tmp_path), "--batch", "16"],
                         capture_output=True, text=True, timeout=300, check=True)
    assert "Eb/N0" in run.stdout
    stem = os.path.join(tmp_path, script.replace(".py", ""))
    with open(stem + ".csv") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) in (curves, 2 * curves)  # a point without errors ends the sweep
    assert all(0 <= float(r["ber"]) <= 1 and int(r["frames"]) > 0 for r in rows)
    with open(stem + ".png", "rb") as f:
        assert f.read(4) == b"\x89PNG"


def test_example_refuses_bad_options():
    run = subprocess.run([sys.executable, os.path.join(EXAMPLES, "turbo_link.py"), "--K", "many"],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 2 and "invalid int value" in run.stderr
