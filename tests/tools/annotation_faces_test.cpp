// Annotation files through the faces: nongauss-clean --wfdb and
// nongauss-scan --wfdb, on small files written here and on the real files of
// ../shared/data/wfdb where they are present.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_tool.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::run_tool;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;

RunResult clean(const std::vector<std::string>& args, const ScratchDir& dir) {
    return run_tool(args, dir.path(), NONGAUSS_CLEAN_EXE);
}

RunResult scan(const std::vector<std::string>& args, const ScratchDir& dir) {
    return run_tool(args, dir.path(), NONGAUSS_SCAN_EXE);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// An annotation file of `beats` beats (code N, or V at the positions in
// `ventricular`) `ticks` apart (or, with `vary`, up to 4 ticks more), at
// 100 Hz, with its header; returns its name.
std::string write_record(const ScratchDir& dir, const std::string& record, int beats, unsigned ticks,
                         const std::vector<int>& ventricular = {}, bool vary = false) {
    std::string bytes;
    for (int k = 0; k < beats; ++k) {
        unsigned code = 1;
        for (const int v : ventricular) code = v == k ? 5 : code;
        const unsigned word = code << 10 | (ticks + (vary ? static_cast<unsigned>(k * 7 % 5) : 0u));
        bytes.push_back(static_cast<char>(word & 0xFF));
        bytes.push_back(static_cast<char>(word >> 8));
    }
    bytes.append(2, '\0');
    dir.write(record + ".atr", bytes);
    dir.write(record + ".hea", record + " 1 100 360000\n");
    return record + ".atr";
}

TEST(AnnotationFaces, CleanerWritesTheSelectionExactAndRefusesBadFilesWithoutWriting) {
    ScratchDir dir;
    // 81 ticks at 100 Hz: 0.81 s; beat 50 ventricular leaves two intervals out.
    const std::string name = write_record(dir, "rec", 400, 81, {50});
    RunResult r = clean({"--wfdb", "-o", "nn.txt", "--summary", name}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("labels:    400 annotations: N 399, V 1\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("selection: 397 of 399 beat-to-beat intervals kept (normal-to-normal); left out: not-normal 2\n"),
              std::string::npos) << r.err;
    const std::vector<std::string> nn = lines(dir.read("nn.txt"));
    ASSERT_EQ(nn.size(), 397u);
    for (const std::string& line : nn) ASSERT_EQ(std::strtod(line.c_str(), nullptr), 81.0 / 100.0) << line;
    EXPECT_EQ(r.out.substr(0, 16), "rec.atr\t397\t0\t0\t");

    r = clean({"--wfdb", "--all-beats", "--no-range", "--no-deviation", name}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 399u);
    r = clean({"--wfdb", "--detector", name}, dir);
    EXPECT_NE(r.err.find("\ndetector:  0 flagged (ectopic 0, missed 0, extra 0, long 0, short 0), deleted\n"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\ntime:      18.0 s flagged or left out by the selection per hour, the longest such "
                         "stretch 1.6 s\n"),
              std::string::npos) << r.err;

    // Usage errors, and files that cannot be read: status 1, nothing written.
    fs::remove(dir.path() / "rec.hea");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--wfdb", "-o", "out.txt", name},
             {"--wfdb", "-o", "out.txt", "missing.atr"},
             {"--all-beats", "-o", "out.txt", name},
             {"--wfdb", "--unit", "ms", "-o", "out.txt", name},
             {"--detector", "--no-deviation", "-o", "out.txt", "nn.txt"}}) {
        r = clean(args, dir);
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_FALSE(dir.exists("out.txt")) << args.back();
    }
    r = clean({"--wfdb", name}, dir);
    EXPECT_EQ(r.err, "Annotation file rec.atr: no header: rec.hea not found\n");
}

TEST(AnnotationFaces, ScanReadsAnnotationFilesAndSaysWhenTooMuchTimeIsLeftOut) {
    ScratchDir dir;
    const std::string good = write_record(dir, "good", 3000, 80, {700}, true);
    // Every fifth beat ventricular: 40 % of the intervals (and time) left out.
    std::vector<int> many;
    for (int k = 0; k < 3000; k += 5) many.push_back(k);
    const std::string broken = write_record(dir, "broken", 3000, 80, many, true);
    const RunResult r = scan({"--wfdb", "-s", "25", good, broken}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[1].find("\t2997\t"), std::string::npos) << rows[1];  // n_beats: 2999 less 2
    EXPECT_EQ(rows[1].substr(rows[1].size() - 2), "s\t") << rows[1];  // no warning
    EXPECT_NE(rows[2].find("\tnormal-to-normal: 39."), std::string::npos) << rows[2];
    EXPECT_NE(rows[2].find(" % of the recording's time is flagged (over 10 %): "
                           "lambda of this recording is not to be trusted"),
              std::string::npos)
        << rows[2];
    EXPECT_EQ(scan({"--all-beats", "-s", "25", good}, dir).status, 1);

    // --clean keeps the time of the two intervals beside the ventricular beat
    // on the axis and leaves out the windows that touch it (the cleaner's
    // filters flag nothing in this even series).
    const RunResult c = scan({"--wfdb", "--clean", "-s", "25", good}, dir);
    ASSERT_EQ(c.status, 0) << c.err;
    const std::vector<std::string> masked = lines(c.out);
    ASSERT_EQ(masked.size(), 2u);
    std::vector<std::string> field;
    std::istringstream in(masked[1]);
    for (std::string f; std::getline(in, f, '\t');) field.push_back(f);
    ASSERT_GE(field.size(), 12u) << masked[1];
    EXPECT_EQ(field[7], "2999") << masked[1];  // n_beats: every interval on the axis
    EXPECT_GT(std::stoi(field[11]), 0) << masked[1];  // windows_left_out
    EXPECT_GT(std::stoi(field[10]), 0) << masked[1];  // windows_used
}

fs::path shared_wfdb() {
    const fs::path p = fs::path(NONGAUSS_SOURCE_DIR) / ".." / "shared" / "data" / "wfdb";
    return fs::exists(p / "100.atr") ? p : fs::path();
}

TEST(AnnotationFaces, Record100GivesItsCountsAndFirstIntervals) {
    const fs::path data = shared_wfdb();
    if (data.empty()) GTEST_SKIP() << "../shared/data/wfdb is absent";
    ScratchDir dir;
    const std::string atr = (data / "100.atr").string();
    RunResult r = clean({"--wfdb", "--all-beats", "--no-range", "--no-deviation", atr}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("labels:    2274 annotations"), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.out).size(), 2272u);
    r = clean({"--wfdb", "--no-range", "--no-deviation", atr}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> nn = lines(r.out);
    ASSERT_EQ(nn.size(), 2204u);
    EXPECT_EQ(std::strtod(nn[0].c_str(), nullptr), 293.0 / 360.0);
    EXPECT_EQ(std::strtod(nn[1].c_str(), nullptr), 292.0 / 360.0);
    const std::vector<std::string> rows = lines(scan({"--wfdb", "-s", "25", atr}, dir).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1].find("\t2204\t"), std::string::npos) << rows[1];
}

}  // namespace
}  // namespace nongauss
