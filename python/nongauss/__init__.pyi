# Type hints of the nongauss module (the compiled functions carry no annotations).
import os
from typing import Any, Literal, Sequence, SupportsFloat, SupportsIndex, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Intervals = Union[npt.ArrayLike, Sequence[SupportsFloat]]
_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

class InputError(ValueError):
    """Unusable input, with the tool's message; `report` is what the tool writes to stderr,
    with the "Hint: " line (also in `hint`, else '') that names what reads a header or a table."""
    report: str
    hint: str

class AnalysisError(RuntimeError):
    """An analysis that could not be completed, with the tool's message."""
    report: str
    hint: str

class AnalysisWarning(UserWarning): ...

class Result:
    @property
    def scale_s(self) -> float: ...
    @property
    def scale_pt(self) -> int: ...
    @property
    def n_beats(self) -> int: ...
    @property
    def duration_s(self) -> float: ...
    @property
    def unit(self) -> Literal["ms", "s"]: ...
    @property
    def sd_ms(self) -> float: ...
    @property
    def lambda_(self) -> float: ...
    @property
    def lambda_sq(self) -> float: ...
    @property
    def n_increments(self) -> int: ...
    @property
    def windows_used(self) -> int: ...
    @property
    def windows_left_out(self) -> int: ...
    @property
    def warnings(self) -> list[str]: ...
    @property
    def increments(self) -> npt.NDArray[np.float64]: ...
    @property
    def bin_centres(self) -> npt.NDArray[np.float64]: ...
    @property
    def p_exp(self) -> npt.NDArray[np.float64]: ...
    @property
    def p_model(self) -> npt.NDArray[np.float64]: ...

class Annotations:
    @property
    def rr(self) -> npt.NDArray[np.float64]: ...
    @property
    def intervals(self) -> npt.NDArray[np.float64]: ...
    @property
    def times(self) -> npt.NDArray[np.float64]: ...
    @property
    def labels(self) -> list[str]: ...
    @property
    def kept(self) -> npt.NDArray[np.bool_]: ...
    @property
    def reasons(self) -> list[str]: ...
    @property
    def selection(self) -> Literal["normal-to-normal", "all beats"]: ...
    @property
    def tick_hz(self) -> float: ...
    @property
    def n_annotations(self) -> int: ...
    @property
    def by_label(self) -> dict[str, int]: ...
    @property
    def by_reason(self) -> dict[str, int]: ...
    @property
    def warnings(self) -> list[str]: ...
    def frame(self) -> Any:
        """The intervals as a pandas DataFrame (time_s, interval_s, label, reason, kept)."""

class Cleaned:
    @property
    def rr(self) -> npt.NDArray[np.float64]: ...
    @property
    def flags(self) -> npt.NDArray[np.uint8]: ...
    @property
    def unit(self) -> Literal["ms", "s"]: ...
    @property
    def n_read(self) -> int: ...
    @property
    def n_range(self) -> int: ...
    @property
    def n_deviation(self) -> int: ...
    @property
    def n_kept(self) -> int: ...
    @property
    def n_interpolated(self) -> int: ...
    @property
    def n_stretches(self) -> int: ...
    @property
    def n_unfilled(self) -> int: ...
    @property
    def flagged_pct(self) -> float: ...
    @property
    def time_pct(self) -> float: ...

def analyse(
    rr: _Intervals,
    scale: float = 25.0,
    *,
    unit: Literal["auto", "ms", "s"] = "auto",
    resample: Literal["spline", "linear", "step"] = "spline",
    dt: float = 0.25,
    detrend: SupportsIndex = 3,
    fit: Literal["normal", "svd"] = "normal",
    q: float = 0.25,
    bins: SupportsIndex = 100,
    flags: _Intervals | None = None,
) -> Result:
    """Analyses a series of RR intervals at one scale, as the command-line tool does."""

def scan(
    rr: _Intervals,
    scales: _Intervals,
    *,
    unit: Literal["auto", "ms", "s"] = "auto",
    resample: Literal["spline", "linear", "step"] = "spline",
    dt: float = 0.25,
    detrend: SupportsIndex = 3,
    fit: Literal["normal", "svd"] = "normal",
    q: float = 0.25,
    bins: SupportsIndex = 100,
    flags: _Intervals | None = None,
    surrogates: SupportsIndex = 0,
    surrogate_kind: Literal["iaaft", "phase"] = "iaaft",
    seed: SupportsIndex = 1,
    bootstrap: SupportsIndex = 0,
) -> Any:
    """Analyses a series at several scales: a pandas DataFrame (or, without pandas, a
    dict of NumPy arrays) with columns scale_s, scale_pt, sd_ms, lambda_, lambda_sq,
    n_increments, then windows_used and windows_left_out (with flags),
    lambda_floor and p_surrogate (with surrogates), lambda_se, lambda_lower and
    lambda_upper (with bootstrap), and error."""

def read_rr(path: _Path) -> npt.NDArray[np.float64]:
    """Reads RR intervals from a text file exactly as the tool reads them."""

def read_annotations(path: _Path, *, all_beats: bool = False) -> Annotations:
    """Reads a beat annotation file with its header beside it: normal-to-normal intervals by default."""

def log_spaced_scales(from_s: float, to_s: float, count: SupportsIndex) -> npt.NDArray[np.float64]:
    """count scales from from_s to to_s evenly spaced on a logarithmic axis, the ends exact, all finite."""

def clean(
    rr: _Intervals,
    *,
    unit: Literal["auto", "ms", "s"] = "auto",
    min_s: float = 0.3,
    max_s: float = 2.0,
    window: SupportsIndex | None = None,
    deviation_pct: float = 20.0,
    range_filter: bool = True,
    deviation_filter: bool = True,
    replace: bool = False,
    detector: bool = False,
    median: bool = False,
) -> Cleaned:
    """Flags implausible intervals and removes or replaces them, as nongauss-clean."""

def synth(
    hours: float = 24.0,
    lambda_: float = 0.4,
    seed: SupportsIndex = 1,
    *,
    mean_ms: float = 800.0,
    sd_ms: float = 40.0,
    block_s: float = 600.0,
    unit: Literal["ms", "s"] = "ms",
    decimals: SupportsIndex | None = None,
) -> npt.NDArray[np.float64]:
    """A synthetic RR series whose non-Gaussianity lambda is known, as nongauss-synth."""

def report(
    path: _Path,
    scales: Sequence[SupportsFloat] | None = None,
    *,
    output: _Path | None = None,
    densities: Sequence[SupportsFloat] | None = None,
    flags: Literal["detect", "clean", "replace", "none"] = "detect",
    surrogates: int = 0,
    bootstrap: int = 0,
    surrogate_kind: Literal["iaaft", "phase"] = "iaaft",
    seed: int = 1,
    resample: Literal["spline", "linear", "step"] = "spline",
    dt: float = 0.25,
    detrend: int = 3,
    fit: Literal["normal", "svd"] = "normal",
    q: float = 0.25,
    bins: int = 100,
    cohort: bool = False,
    group: str | None = None,
) -> str:
    """Writes nongauss-report's HTML report of a recording (or, cohort=True, of a cohort
    table) and its JSON beside it, with the program's own code; returns the page's name."""
