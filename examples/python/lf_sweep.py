"""Shared parts of the Python link examples: the Eb/N0 sweep with its stopping rules and
progress bar, the CSV file and the matplotlib plot.

A link is a function frames(ebn0_db, count, rng) -> bit errors, an array (count, curves)
of the data-bit errors of `count` frames for each curve (decoder).
"""
import argparse
import csv
import math
import os
import sys
import time

import numpy as np


def options(description, defaults):
    """Command-line options of an example; defaults is a dict of the link's own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--ebn0", type=float, nargs="+", default=defaults["ebn0"],
                        help="Eb/N0 points in dB")
    parser.add_argument("--max-frames", type=int, default=defaults["max_frames"],
                        help="frames per point at most")
    parser.add_argument("--target-errors", type=int, default=defaults["target_errors"],
                        help="frame errors (of every curve) that end a point")
    parser.add_argument("--batch", type=int, default=64, help="frames per decoder call")
    parser.add_argument("--seed", type=int, default=1, help="seed of the data and the noise")
    parser.add_argument("--output-dir", default="results", help="folder of the CSV and PNG files")
    parser.add_argument("--quiet", action="store_true", help="no progress bar and no table")
    for name, value in defaults.get("extra", {}).items():
        parser.add_argument("--" + name, type=type(value), default=value)
    return parser.parse_args()


def bpsk_sigma(ebn0_db, rate):
    """Noise standard deviation per dimension of BPSK at Eb/N0 (dB) and code rate."""
    return math.sqrt(1.0 / (2.0 * 10.0 ** (ebn0_db / 10.0) * rate))


def sweep(name, title, labels, bits, frames, opts):
    """Runs frames(ebn0, count, rng) over the points until a stopping rule; writes the
    CSV and the plot; returns a dict of arrays (frames, bit_errors, frame_errors)."""
    rng = np.random.default_rng(opts.seed)
    points = len(opts.ebn0)
    result = {"ebn0_db": np.array(opts.ebn0), "frames": np.zeros(points, dtype=int),
              "bit_errors": np.zeros((points, len(labels)), dtype=int),
              "frame_errors": np.zeros((points, len(labels)), dtype=int)}
    live = not opts.quiet and sys.stderr.isatty()
    for p, ebn0 in enumerate(opts.ebn0):
        start = time.monotonic()
        while (result["frames"][p] < opts.max_frames
               and result["frame_errors"][p].min() < opts.target_errors):
            count = min(opts.batch, opts.max_frames - result["frames"][p])
            errors = frames(ebn0, count, rng)
            result["frames"][p] += count
            result["bit_errors"][p] += errors.sum(axis=0)
            result["frame_errors"][p] += (errors > 0).sum(axis=0)
            if live:
                done = max(result["frames"][p] / opts.max_frames,
                           result["frame_errors"][p].min() / opts.target_errors)
                bar = "#" * int(30 * min(done, 1.0))
                rate = result["frames"][p] / max(time.monotonic() - start, 1e-9)
                sys.stderr.write(f"\r{ebn0:6.2f} dB [{bar:<30}] {result['frames'][p]} frames, "
                                 f"{result['frame_errors'][p].min()} errors, {rate:.0f} frames/s ")
        if live:
            sys.stderr.write("\n")
        if result["frame_errors"][p].max() == 0:
            for key in ("frames", "bit_errors", "frame_errors"):
                result[key] = result[key][:p + 1]
            result["ebn0_db"] = result["ebn0_db"][:p + 1]
            break
    ber = result["bit_errors"] / np.maximum(result["frames"], 1)[:, None] / bits
    fer = result["frame_errors"] / np.maximum(result["frames"], 1)[:, None]
    os.makedirs(opts.output_dir, exist_ok=True)
    stem = os.path.join(opts.output_dir, name)
    with open(stem + ".csv", "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["ebn0_db", "curve", "frames", "bit_errors", "frame_errors", "ber", "fer"])
        for p, ebn0 in enumerate(result["ebn0_db"]):
            for c, label in enumerate(labels):
                out.writerow([ebn0, label, result["frames"][p], result["bit_errors"][p, c],
                              result["frame_errors"][p, c], ber[p, c], fer[p, c]])
    if not opts.quiet:
        print(f"{title}\n{'Eb/N0':>6}  {'curve':<22}{'frames':>8}{'BER':>12}{'FER':>12}")
        for p, ebn0 in enumerate(result["ebn0_db"]):
            for c, label in enumerate(labels):
                print(f"{ebn0:6.2f}  {label:<22}{result['frames'][p]:8d}{ber[p, c]:12.4e}{fer[p, c]:12.4e}")
    plot(stem + ".png", title, labels, result["ebn0_db"], ber, fer)
    return result


def plot(png, title, labels, ebn0, ber, fer):
    """BER (solid) and FER (dashed) of every curve on a log scale, as the Octave examples
    draw them."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8, 6))
    for c, label in enumerate(labels):
        shown = ber[:, c] > 0
        line, = ax.semilogy(ebn0[shown], ber[shown, c], "o-", label="BER " + label)
        shown = fer[:, c] > 0
        ax.semilogy(ebn0[shown], fer[shown, c], "s--", color=line.get_color(), label="FER " + label)
    ax.set_xlabel("Eb/N0 (dB)")
    ax.set_ylabel("error rate")
    ax.set_title(title)
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(loc="lower left", fontsize="small")
    fig.savefig(png, dpi=100)
    plt.close(fig)
