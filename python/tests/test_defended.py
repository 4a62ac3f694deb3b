"""scan's surrogate floor and test, bootstrap spread and flagged windows."""

import numpy as np

import nongauss


def test_flags_floor_and_spread_columns():
    rr = nongauss.synth(hours=3.0, lambda_=0.4, seed=4)
    scales = [5.0, 25.0]
    plain = nongauss.scan(rr, scales)
    none_flagged = nongauss.scan(rr, scales, flags=np.zeros(len(rr), dtype=bool))
    # Without a flag, the numbers of the plain analysis.
    assert list(none_flagged["lambda_"]) == list(plain["lambda_"])
    assert list(none_flagged["windows_left_out"]) == [0, 0]

    flags = np.zeros(len(rr), dtype=bool)
    flags[5000:5003] = True
    masked = nongauss.scan(rr, scales, flags=flags)
    assert all(masked["windows_left_out"] > 0)
    assert all(masked["n_increments"] < plain["n_increments"])
    one = nongauss.analyse(rr, 25.0, flags=flags)
    assert (one.windows_used, one.windows_left_out) == (masked["windows_used"][1], masked["windows_left_out"][1])

    defended = nongauss.scan(rr, scales, surrogates=9, bootstrap=20, seed=3)
    assert list(defended["lambda_"]) == list(plain["lambda_"])
    # 9 surrogates: p is a multiple of 1/10; the synthetic series is above every one.
    assert list(defended["p_surrogate"]) == [0.1, 0.1]
    assert all(defended["lambda_floor"] < defended["lambda_"])
    assert all(defended["lambda_se"] > 0)
    assert all(defended["lambda_lower"] < defended["lambda_upper"])
    again = nongauss.scan(rr, scales, surrogates=9, bootstrap=20, seed=3)
    assert list(again["lambda_se"]) == list(defended["lambda_se"])
    assert list(again["lambda_floor"]) == list(defended["lambda_floor"])
    phase = nongauss.scan(rr, scales, surrogates=9, surrogate_kind="phase")
    assert all(np.isnan(phase["p_surrogate"]))
