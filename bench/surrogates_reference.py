"""The surrogate floor and test in NumPy, as a reference for the library's.

    PYTHONPATH=BUILD/python python3 bench/surrogates_reference.py RR_FILE [N] [MAX_ITERATIONS]

The same method as the library: IAAFT surrogates (start from a random
permutation; each iteration imposes the series' amplitude spectrum on the
surrogate's transform, keeping its phases, then puts the series' intervals in
the rank order of the result; stop when the rank order no longer changes or
after MAX_ITERATIONS), each analysed by the module's `scan` at 20 scales from
5 to 1000 s, then per scale the median lambda of the surrogates and the rank
p-value. Random numbers are NumPy's (another stream than the library's, so
the surrogates differ; the method and the work are the same).

Prints the wall time of making the surrogates and of analysing them, and the
floor and p-value per scale.
"""

import sys
import time

import warnings

import numpy as np

import nongauss


def iaaft(x, rng, max_iterations):
    amplitude = np.abs(np.fft.rfft(x))
    sorted_x = np.sort(x)
    s = rng.permutation(x)
    previous = None
    for iteration in range(1, max_iterations + 1):
        spectrum = np.fft.rfft(s)
        modulus = np.abs(spectrum)
        spectrum = np.where(modulus > 0, spectrum * (amplitude / np.where(modulus > 0, modulus, 1.0)), amplitude)
        y = np.fft.irfft(spectrum, n=len(x))
        order = np.argsort(y, kind="stable")
        s = np.empty_like(x)
        s[order] = sorted_x
        if previous is not None and np.array_equal(order, previous):
            break
        previous = order
    return s, iteration


def main():
    warnings.simplefilter("ignore")  # the recording's warnings, once per surrogate
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 99
    max_iterations = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    x = nongauss.read_rr(path)
    unit = "ms" if x[0] > 100 else "s"
    scales = nongauss.log_spaced_scales(5.0, 1000.0, 20)

    t0 = time.perf_counter()
    c0 = time.process_time()
    surrogates = []
    iterations = []
    for k in range(count):
        s, it = iaaft(x, np.random.default_rng([1, k]), max_iterations)
        surrogates.append(s)
        iterations.append(it)
    t_make = time.perf_counter() - t0
    c_make = time.process_time() - c0

    t0 = time.perf_counter()
    c0 = time.process_time()
    own = np.asarray(nongauss.scan(x, scales, unit=unit)["lambda_"], dtype=float)
    lam = np.array([np.asarray(nongauss.scan(s, scales, unit=unit)["lambda_"], dtype=float) for s in surrogates])
    t_analyse = time.perf_counter() - t0
    c_analyse = time.process_time() - c0

    floor = np.median(lam, axis=0)
    p = (1 + (lam >= own).sum(axis=0)) / (count + 1)
    print(f"make: {t_make:.3f} s (processor {c_make:.3f} s) for {count} surrogates of {len(x)} intervals; "
          f"iterations median {int(np.median(iterations))}, max {max(iterations)}")
    c = c_make + c_analyse
    print(f"test: {t_make + t_analyse:.3f} s (processor {c:.3f} s) at {len(scales)} scales "
          f"(making {100 * c_make / c:.0f} %, analysing {100 * c_analyse / c:.0f} %)")
    print("scale_s\tlambda\tlambda_floor\tp_surrogate")
    for i, scale in enumerate(scales):
        print(f"{scale:.6g}\t{own[i]:.4f}\t{floor[i]:.4f}\t{p[i]:.4f}")


if __name__ == "__main__":
    main()
