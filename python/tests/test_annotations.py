"""read_annotations(): an annotation file's intervals chosen by label."""

import pytest

import nongauss
from conftest import SOURCE_DIR

WFDB = SOURCE_DIR.parent / "shared" / "data" / "wfdb"


def write_record(directory, beats, ventricular):
    words = bytearray()
    for k in range(beats):
        word = (5 if k in ventricular else 1) << 10 | 90
        words += word.to_bytes(2, "little")
    (directory / "rec.atr").write_bytes(bytes(words) + b"\0\0")
    (directory / "rec.hea").write_text("rec 1 120\n")
    return directory / "rec.atr"


def test_intervals_labels_times_and_reasons(tmp_path):
    path = write_record(tmp_path, 10, {4})
    a = nongauss.read_annotations(path)
    assert a.selection == "normal-to-normal" and a.tick_hz == 120 and a.n_annotations == 10
    assert a.rr.tolist() == [0.75] * 7
    assert a.labels == ["N", "N", "N", "V", "N", "N", "N", "N", "N"]
    assert a.reasons[2:5] == ["kept", "not-normal", "not-normal"]
    assert a.kept.tolist() == [r == "kept" for r in a.reasons]
    assert a.times.tolist() == [0.75 * (k + 1) for k in range(9)]
    assert a.by_label == {"N": 9, "V": 1} and a.by_reason == {"kept": 7, "not-normal": 2}
    every = nongauss.read_annotations(str(path), all_beats=True)
    assert len(every.rr) == 9 and every.selection == "all beats"
    pandas = pytest.importorskip("pandas")
    frame = a.frame()
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == ["time_s", "interval_s", "label", "reason", "kept"]
    assert frame["kept"].sum() == 7


def test_unreadable_files_raise_input_errors(tmp_path):
    path = write_record(tmp_path, 10, set())
    (tmp_path / "rec.hea").unlink()
    with pytest.raises(nongauss.InputError, match="no header: .*rec.hea not found"):
        nongauss.read_annotations(path)
    (tmp_path / "odd.atr").write_bytes(b"\x5a\x04\x00")
    (tmp_path / "odd.hea").write_text("odd 1 360\n")
    with pytest.raises(nongauss.InputError, match="truncated word at byte 2"):
        nongauss.read_annotations(tmp_path / "odd.atr")


@pytest.mark.skipif(not (WFDB / "100.atr").exists(), reason="../shared/data/wfdb is absent")
def test_record_100():
    nn = nongauss.read_annotations(WFDB / "100.atr")
    assert nn.n_annotations == 2274 and len(nn.intervals) == 2272 and len(nn.rr) == 2204
    assert (nn.rr[:2] * 360).tolist() == [293.0, 292.0]
    assert len(nongauss.read_annotations(WFDB / "100.atr", all_beats=True).rr) == 2272
