"""Non-Gaussian analysis of heart-rate variability.

    import nongauss
    rr = nongauss.read_rr("nsr001.txt")         # intervals as the tool reads them
    r = nongauss.analyse(rr, 25.0)              # r.sd_ms, r.lambda_, r.p_exp, ...
    table = nongauss.scan(rr, [5, 10, 25, 50])  # lambda versus scale
    clean = nongauss.clean(rr).rr               # artefacts and ectopic beats removed
    nn = nongauss.read_annotations("100.atr").rr  # normal-to-normal intervals, seconds
    test = nongauss.synth(4, 0.4, seed=1)       # a series whose lambda is known
    page = nongauss.report("nsr001.txt")        # nsr001_report.html and .json

The numbers are those of the command-line tool `nongauss`, double for double.
"""

from ._nongauss import (
    AnalysisError,
    AnalysisWarning,
    Annotations,
    Cleaned,
    InputError,
    Result,
    __version__,
    analyse,
    clean,
    log_spaced_scales,
    read_annotations,
    read_rr,
    report,
    scan,
    synth,
)

__all__ = [
    "AnalysisError",
    "AnalysisWarning",
    "Annotations",
    "Cleaned",
    "InputError",
    "Result",
    "__version__",
    "analyse",
    "clean",
    "log_spaced_scales",
    "read_annotations",
    "read_rr",
    "report",
    "scan",
    "synth",
]
