// nongauss-cohort end to end: generated files, one of them bad; cleaning;
// other machines through a stand-in for ssh; interruption and resumption;
// outputs that would hit an input; names that awk would mangle.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "tools/background_run.hpp"
#include "tools/companions.hpp"
#include "nongauss/tsv_field.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

std::vector<std::string> with_programs(std::vector<std::string> args) {
    args.insert(args.begin(), {"--scan", NONGAUSS_SCAN_EXE, "--nongauss", NONGAUSS_EXE, "--clean-exe",
                               NONGAUSS_CLEAN_EXE, "--writer", NONGAUSS_WRITE_EXE});
    return args;
}

RunResult cohort(const ScratchDir& dir, const std::vector<std::string>& args) {
    return run_tool(with_programs(args), dir.path(), cohort_script());
}

// The cohort's command line as one shell word list, for the shell tests.
std::string cohort_command(const std::vector<std::string>& args) {
    std::string command = "'" + cohort_script() + "'";
    for (const auto& a : with_programs(args)) command += " '" + a + "'";
    return command;
}

// Rows of a TSV file after its header, split into fields.
std::vector<std::vector<std::string>> rows_of(const std::string& text, const std::string& header) {
    std::vector<std::vector<std::string>> rows;
    const auto lines = lines_of(text);
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return rows;
    EXPECT_EQ(lines[0], header);
    for (std::size_t i = 1; i < lines.size(); ++i) rows.push_back(tab_fields(lines[i]));
    return rows;
}

std::string fixed(double x, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

const std::string table_header = "file\tscale_s\tsd_ms\tlambda\tn_beats\tduration_h\tunit\twarnings";
const std::string clean_header =
    "file\tscale_s\tsd_ms\tlambda\tn_beats\tduration_h\tunit\tflagged_pct\twarnings";
const std::string log_header = "file\tscale\tstatus\treason";

TEST(Cohort, EveryGoodFileInTheTableTheBadOneInTheLog) {
    NEEDS_SCAN();
    ScratchDir dir;
    // Five one-hour series, two of them with the same name in different
    // directories, one in seconds, and one file that holds no numbers.
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::vector<std::string> good = {"s1.txt", "a/rec.txt", "b/rec.txt", "s4.txt", "s5.txt"};
    for (std::size_t i = 0; i < good.size(); ++i)
        synthesize(dir, good[i], {"--hours", "1", "--seed", std::to_string(i + 1), "--unit", i == 3 ? "s" : "ms"});
    dir.write("bad.txt", "RR intervals (ms)\n812\n790\n");
    const std::vector<std::string> inputs = {"s1.txt", "a/rec.txt", "bad.txt", "b/rec.txt", "s4.txt",
                                             "s5.txt"};

    // Attached values, as getopt takes them.
    std::vector<std::string> args = {"-j3", "-s25,40", "-oout/t.tsv"};
    fs::create_directories(dir.path() / "out");
    args.insert(args.end(), inputs.begin(), inputs.end());
    const auto r = cohort(dir, args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("10 of 12 rows (6 files x 2 scales)"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "progress shown without a terminal";

    // The table: every good file at both scales, in command-line order, with
    // the numbers a single run of nongauss prints, the beats, the duration
    // and the unit.
    const auto rows = rows_of(dir.read("out/t.tsv"), table_header);
    ASSERT_EQ(rows.size(), 10u);
    std::size_t k = 0;
    for (std::size_t i = 0; i < good.size(); ++i)
        for (const std::string scale : {"25", "40"}) {
            ASSERT_EQ(rows[k].size(), 8u);
            EXPECT_EQ(rows[k][0], good[i]);
            EXPECT_EQ(rows[k][1], scale);
            EXPECT_EQ(rows[k][6], i == 3 ? "s" : "ms");
            EXPECT_NEAR(std::stod(rows[k][5]), 1.0, 0.01);
            EXPECT_EQ(std::to_string(lines_of(dir.read(good[i])).size()), rows[k][4]);
            ++k;
        }
    // No per-run files anywhere without -k, and no state left after a
    // finished run.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find("_TS.txt"), std::string::npos) << entry.path();
    EXPECT_FALSE(dir.exists("out/t.tsv.resume"));

    fs::copy_file(dir.path() / "b/rec.txt", dir.path() / "single.txt");
    const Summary direct = parse_summary(run_tool({"-s", "40", "single.txt"}, dir.path()).out);
    EXPECT_EQ(fixed(std::stod(rows[5][2]), 1), fixed(direct.sd, 1));
    EXPECT_EQ(fixed(std::stod(rows[5][3]), 4), fixed(direct.lambda, 4));
    EXPECT_NE(rows[2][3], rows[4][3]) << "a/rec.txt and b/rec.txt were mixed up";

    // The failure log: the bad file at both scales, with the reason.
    const auto failed = rows_of(dir.read("out/t_failed.tsv"), log_header);
    ASSERT_EQ(failed.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(failed[i][0], "bad.txt");
        EXPECT_EQ(failed[i][2], "2");
        EXPECT_NE(failed[i][3].find("No data was read!"), std::string::npos) << failed[i][3];
    }
    EXPECT_EQ(failed[0][1], "25");
    EXPECT_EQ(failed[1][1], "40");
}

// The scan's floor and test, spread and masked windows: the same numbers in
// the cohort's table as in the scan's.
TEST(Cohort, DefendingColumnsAsTheScanWritesThem) {
    NEEDS_SCAN();
    ScratchDir dir;
    synthesize(dir, "x.txt", {"--hours", "2", "--seed", "3"});
    const auto r = cohort(dir, {"-s", "25", "--surrogates", "9", "--bootstrap", "10", "--seed", "2", "--masked",
                                "x.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = rows_of(dir.read("cohort.tsv"),
                              "file\tscale_s\tsd_ms\tlambda\tn_beats\tduration_h\tunit\tlambda_floor\t"
                              "p_surrogate\tlambda_se\tlambda_lower\tlambda_upper\twindows_used\twindows_left_out\twarnings");
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 15u);
    const auto scan = run_tool({"-s", "25", "--surrogates", "9", "--bootstrap", "10", "--seed", "2", "--clean", "x.txt"},
                               dir.path(), NONGAUSS_SCAN_EXE);
    const auto fields = tab_fields(lines_of(scan.out).at(1));
    ASSERT_EQ(fields.size(), 18u);
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(rows[0][7 + i], fields[10 + i]) << i;
    EXPECT_EQ(rows[0][8], "0.1");
}

TEST(Cohort, OptionsReachTheAnalysisAndKeepWritesThePerRunFiles) {
    NEEDS_SCAN();
    ScratchDir dir;
    synthesize(dir, "x.txt", {"--hours", "1"});
    synthesize(dir, "y.txt", {"--hours", "1", "--seed", "5"});
    dir.write("list.txt", "x.txt\r\n\ny.txt\n");
    const auto r = cohort(dir, {"-a", "-d 0 -q 0", "-f", "list.txt", "-k", "runs"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto rows = rows_of(dir.read("cohort.tsv"), table_header);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "y.txt");
    EXPECT_EQ(lines_of(dir.read("cohort_failed.tsv")), std::vector<std::string>{log_header});

    const Summary direct = parse_summary(run_tool({"-d", "0", "-q", "0", "y.txt"}, dir.path()).out);
    EXPECT_EQ(fixed(std::stod(rows[1][3]), 4), fixed(direct.lambda, 4));
    // -k: each file's run at each scale, with its outputs, in a directory of its own.
    EXPECT_EQ(dir.read("runs/2/scale_25/input_TS.txt"), dir.read("y_TS.txt"));
    EXPECT_EQ(dir.read("runs/2/scale_25/input_PDF.txt"), dir.read("y_PDF.txt"));
    EXPECT_TRUE(dir.exists("runs/1/scale_25/input_PDF.txt"));
    const Summary plain = parse_summary(run_tool({"y.txt"}, dir.path()).out);
    EXPECT_NE(fixed(std::stod(rows[1][3]), 4), fixed(plain.lambda, 4)) << "the options did not arrive";

    // Options the analysis rejects fail every file, and say so.
    const auto bad = cohort(dir, {"-a", "-x", "-o", "bad.tsv", "x.txt"});
    EXPECT_EQ(bad.status, 2);
    const auto failed = rows_of(dir.read("bad_failed.tsv"), log_header);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0][3], "nongauss-scan rejected the options '-x'");
}

TEST(Cohort, CleaningFirstRecordsTheFlaggedShareAndTheCleanersWarning) {
    NEEDS_SCAN();
    ScratchDir dir;
    synthesize(dir, "clean.txt", {"--hours", "1", "--seed", "11"});
    // The same series with a 30-s signal-loss gap written into it, and one
    // with every fifth beat doubled (far more than 10 % flagged).
    const std::string text = dir.read("clean.txt");
    std::string gap = text;
    gap.insert(gap.find('\n', gap.size() / 2) + 1, "30000\n");
    dir.write("gap.txt", gap);
    std::string noisy;
    int n = 0;
    for (const auto& line : lines_of(text))
        noisy += (++n % 5 == 0 ? std::to_string(2 * std::stoi(line)) : line) + "\n";
    dir.write("noisy.txt", noisy);
    dir.write("bad.txt", "RR\n");
    // Reading stops at an "NA" two thirds in: the cleaner's note says where.
    std::string stopped;
    n = 0;
    for (const auto& line : lines_of(text)) stopped += (++n == 3000 ? std::string("NA") : line) + "\n";
    dir.write("stopped.txt", stopped);

    const auto raw = cohort(dir, {"-o", "raw.tsv", "clean.txt", "gap.txt"});
    ASSERT_EQ(raw.status, 0) << raw.err;
    const auto cleaned =
        cohort(dir, {"-c", "-o", "cleaned.tsv", "clean.txt", "gap.txt", "bad.txt", "noisy.txt", "stopped.txt"});
    EXPECT_EQ(cleaned.status, 2) << cleaned.err;

    const auto before = rows_of(dir.read("raw.tsv"), table_header);
    const auto after = rows_of(dir.read("cleaned.tsv"), clean_header);
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 4u);
    // The gap dominates the raw SD; after cleaning the two files agree again.
    EXPECT_GT(std::stod(before[1][2]), 10 * std::stod(before[0][2]));
    EXPECT_NEAR(std::stod(after[1][2]), std::stod(after[0][2]), 0.05 * std::stod(after[0][2]));
    EXPECT_EQ(after[0][0], "clean.txt");
    EXPECT_EQ(after[0][7], "0.00");
    EXPECT_GT(std::stod(after[1][7]), 0.0);  // the gap was flagged
    EXPECT_EQ(after[0][8], "");
    // The cleaner's warning reaches the table.
    EXPECT_EQ(after[2][0], "noisy.txt");
    EXPECT_GT(std::stod(after[2][7]), 10.0);
    EXPECT_NE(after[2][8].find("cleaning: "), std::string::npos) << after[2][8];
    EXPECT_NE(after[2][8].find("of the beats were flagged"), std::string::npos) << after[2][8];
    EXPECT_EQ(after[3][0], "stopped.txt");
    EXPECT_NE(after[3][8].find("cleaning: reading stopped at line 3000"), std::string::npos) << after[3][8];
    const auto log = rows_of(dir.read("cleaned_failed.tsv"), log_header);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0][0], "bad.txt");
    EXPECT_NE(log[0][3].find("No data was read!"), std::string::npos);
}

// Each job's temporary files go when the job ends, not at the end of the
// cohort: a scan wrapped to count the job directories sees only its own.
TEST(Cohort, AJobRemovesItsTemporaryFilesWhenItEnds) {
    NEEDS_SCAN();
    ScratchDir dir;
    dir.write("counting-scan", std::string("#!/bin/sh\nls -d \"$NGC_TMP\"/nongauss-cohort-job.* | wc -l >> \"") +
                                   (dir.path() / "counts.txt").string() + "\"\nexec '" + NONGAUSS_SCAN_EXE +
                                   "' \"$@\"\n");
    fs::permissions(dir.path() / "counting-scan", fs::perms::owner_all);
    std::vector<std::string> args = {"-j", "1", "-c", "--scan", (dir.path() / "counting-scan").string()};
    for (int i = 1; i <= 4; ++i) {
        args.push_back("f" + std::to_string(i) + ".txt");
        synthesize(dir, args.back(), {"--hours", "0.5", "--seed", std::to_string(i)});
    }
    ASSERT_EQ(cohort(dir, args).status, 0);
    EXPECT_EQ(lines_of(dir.read("counts.txt")), (std::vector<std::string>(4, "1")));
}

TEST(Cohort, OtherMachinesThroughAStandInForSsh) {
    NEEDS_SCAN();
    ScratchDir dir;
    // The stand-in for ssh runs the command here, in another working
    // directory, with a login's bare environment and a shell other than
    // bash, and records the machine it was asked for.
    dir.write("remote-ssh",
              "#!/bin/sh\n"
              "while [ $# -gt 0 ]; do case $1 in -[lpoiFJ]) shift 2 ;; -*) shift ;; *) break ;; esac; done\n"
              "echo \"$1\" >> \"$(dirname \"$0\")/machines.log\"\n"
              "shift; [ \"$1\" = -- ] && shift\n"
              "cd \"$(dirname \"$0\")/remote\" || exit 255\n"
              "exec env -i PATH=\"$PATH\" HOME=\"$HOME\" SHELL=/bin/sh /bin/sh -c \"$*\"\n");
    fs::permissions(dir.path() / "remote-ssh", fs::perms::owner_all);
    fs::create_directories(dir.path() / "remote");
    dir.write("machines.txt", "# two machines\n1/alpha\n1/beta\n");
    std::vector<std::string> inputs;
    for (int i = 1; i <= 4; ++i) {
        inputs.push_back("r" + std::to_string(i) + ".txt");
        synthesize(dir, inputs.back(), {"--hours", "1", "--seed", std::to_string(i)});
    }
    std::vector<std::string> here = {"-c", "-s", "25,50", "-o", "here.tsv"};
    here.insert(here.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(cohort(dir, here).status, 0);

    std::vector<std::string> away = {"-c", "-s", "25,50", "-o", "away.tsv", "--ssh",
                                     (dir.path() / "remote-ssh").string(), "--sshloginfile", "machines.txt"};
    away.insert(away.end(), inputs.begin(), inputs.end());
    const auto r = cohort(dir, away);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("away.tsv"), dir.read("here.tsv"));
    const auto machines = lines_of(dir.read("machines.log"));
    EXPECT_EQ(std::set<std::string>(machines.begin(), machines.end()), (std::set<std::string>{"alpha", "beta"}));
    EXPECT_TRUE(fs::is_empty(dir.path() / "remote")) << "a job left files on the machine";

    // -S takes the machines on the command line; an unreachable one leaves
    // its files unfinished, in the log, for the next run.
    dir.write("broken-ssh", "#!/bin/sh\nexit 255\n");
    fs::permissions(dir.path() / "broken-ssh", fs::perms::owner_all);
    const auto down = cohort(dir, {"-S", "gamma", "--ssh", (dir.path() / "broken-ssh").string(), "-o",
                                   "down.tsv", "r1.txt"});
    EXPECT_EQ(down.status, 2);
    EXPECT_NE(down.err.find("run the same command again"), std::string::npos) << down.err;
    const auto log = rows_of(dir.read("down_failed.tsv"), log_header);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0][3].rfind("the job did not finish: exit status 255", 0), 0u) << log[0][3];
    EXPECT_TRUE(dir.exists("down.tsv.resume"));
}

// Starts the cohort in `dir` as the leader of a process group of its own,
// with TMPDIR set when given (and `path` as PATH when given) and both output
// streams to `log` there.
pid_t start_cohort(const ScratchDir& dir, const std::vector<std::string>& args, const std::string& tmpdir,
                   const std::string& log, const std::string& path = "") {
    std::vector<std::string> argv = {"/bin/bash", cohort_script()};
    for (const auto& a : with_programs(args)) argv.push_back(a);
    std::vector<std::pair<std::string, std::string>> env;
    if (!tmpdir.empty()) env.emplace_back("TMPDIR", tmpdir);
    if (!path.empty()) env.emplace_back("PATH", path);
    return start_process(argv, dir.path(), env, dir.path() / log);
}

// Whether no process holds the run's lock (held by the script, GNU parallel
// and every job): a killed run's job ends a moment after the script, by the
// runner that watches it, and a job's command line need not name the
// directory.
bool released(const fs::path& lock) {
    const int fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

std::size_t lines_in(const fs::path& file) {
    return fs::exists(file) ? lines_of(slurp(file)).size() : 0;
}

// Command lines of running processes that mention `text`.
// The command lines of the processes (other than this one) that mention
// text, one per line, read from /proc (no ps: a minimal system has none, and
// a missing ps would make the check pass by finding nothing).
std::string processes_mentioning(const fs::path& text) {
    std::string found;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        // (slurp: a process that ends meanwhile makes the read fail, ESRCH,
        // which an istreambuf_iterator reports by throwing.)
        std::string args = slurp(entry.path() / "cmdline");
        std::replace(args.begin(), args.end(), '\0', ' ');
        if (args.find(text.string()) != std::string::npos) found += args + "\n";
    }
    return found;
}

// A cohort of twelve files run once straight through, and once killed with
// SIGKILL (script and GNU parallel) after a few files and run again.
TEST(Cohort, KilledHalfWayTheSameCommandFinishesTheRest) {
    NEEDS_SCAN();
    ScratchDir dir;
    std::vector<std::string> args = {"-j", "1", "-s", "25,100", "--joblog", "jobs.log", "-o", "t.tsv"};
    const int files = 12;
    for (int i = 1; i <= files; ++i) {
        args.push_back("f" + std::to_string(i) + ".txt");
        synthesize(dir, args.back(), {"--hours", "4", "--seed", std::to_string(i)});
    }
    auto straight = args;
    straight[7] = "straight.tsv";
    straight[5] = "straight.log";
    ASSERT_EQ(cohort(dir, straight).status, 0);

    // (SIGKILL leaves the script's temporary directory: it goes to the scratch.)
    fs::create_directories(dir.path() / "tmp");
    const pid_t pid = start_cohort(dir, args, (dir.path() / "tmp").string(), "first.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_until([&] { return lines_in(dir.path() / "jobs.log") >= 5; }));
    kill(-pid, SIGKILL);
    EXPECT_EQ(status_of(pid), 128 + SIGKILL);
    // The runner, in a session of its own, sees the script gone and ends the
    // job that was running.
    EXPECT_TRUE(wait_until([&] { return processes_mentioning(dir.path()).empty(); }, 10));
    EXPECT_TRUE(wait_until([&] { return released(dir.path() / "t.tsv.resume" / "lock"); }, 10));
    EXPECT_FALSE(dir.exists("t.tsv"));
    const auto first = lines_of(dir.read("jobs.log"));
    ASSERT_LT(first.size(), files + 1u) << "the run finished before it was killed";

    const auto rerun = cohort(dir, args);
    EXPECT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_EQ(dir.read("t.tsv"), dir.read("straight.tsv"));
    EXPECT_FALSE(dir.exists("t.tsv.resume"));
    // Every file ran exactly once over both runs: the finished ones were not
    // run again.
    const auto log = lines_of(dir.read("jobs.log"));
    std::map<std::string, int> runs;
    for (const auto& line : log)
        if (line.rfind("Seq", 0) != 0) ++runs[tab_fields(line)[0]];
    EXPECT_EQ(runs.size(), static_cast<std::size_t>(files));
    for (const auto& [seq, count] : runs) EXPECT_EQ(count, 1) << "file " << seq;

    // Another command does not mix its results into an unfinished run's.
    fs::create_directories(dir.path() / "t.tsv.resume");
    dir.write("t.tsv.resume/command", "something else");
    const auto other = cohort(dir, args);
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("holds an unfinished run of another command"), std::string::npos) << other.err;
}

// Files in batches (--batch 2: jobs of 2, 2 and 1 file, each one
// nongauss-scan call) give the table and the failure log of one file per job,
// byte for byte, with a file of no numbers and a missing one inside batches,
// cleaned first or not. A batch killed while it runs leaves no row; the same
// command runs it again, whole, and not the batch that had finished.
TEST(Cohort, BatchesOfFilesGiveTheTablesOfOneFilePerJob) {
    NEEDS_SCAN();
    ScratchDir dir;
    std::vector<std::string> inputs;
    for (int i = 1; i <= 3; ++i) {
        inputs.push_back("b" + std::to_string(i) + ".txt");
        synthesize(dir, inputs.back(), {"--hours", "0.5", "--seed", std::to_string(i)});
    }
    dir.write("bad.txt", "RR\n812\n");
    inputs.insert(inputs.begin() + 1, "bad.txt");
    inputs.insert(inputs.begin() + 3, "missing.txt");
    for (const std::string clean : {"", "-c"}) {
        for (const std::string batch : {"1", "2"}) {
            std::vector<std::string> args = {"--batch", batch, "-s", "25,50", "-o", "t" + clean + batch + ".tsv"};
            if (!clean.empty()) args.push_back(clean);
            args.insert(args.end(), inputs.begin(), inputs.end());
            const auto r = cohort(dir, args);
            EXPECT_EQ(r.status, 2) << r.err;
            EXPECT_NE(r.err.find("6 of 10 rows (5 files x 2 scales)"), std::string::npos) << r.err;
        }
        EXPECT_EQ(dir.read("t" + clean + "2.tsv"), dir.read("t" + clean + "1.tsv")) << clean;
        EXPECT_EQ(dir.read("t" + clean + "2_failed.tsv"), dir.read("t" + clean + "1_failed.tsv")) << clean;
        const auto failed = rows_of(dir.read("t" + clean + "2_failed.tsv"), log_header);
        ASSERT_EQ(failed.size(), 4u);
        EXPECT_EQ(failed[0][0], "bad.txt");
        EXPECT_EQ(failed[3][0], "missing.txt");
    }

    // The scan of the second batch (b2, missing) waits, the first time, to be
    // killed.
    dir.write("held-scan", "#!/bin/sh\nfor f; do case $f in */b2.txt) mkdir '" + (dir.path() / "held").string() +
                               "' 2> /dev/null && exec sleep 60 ;; esac; done\nexec '" + NONGAUSS_SCAN_EXE +
                               "' \"$@\"\n");
    fs::permissions(dir.path() / "held-scan", fs::perms::owner_all);
    std::vector<std::string> args = {"--batch", "2", "-j", "1", "-s", "25,50", "--joblog", "jobs.log",
                                     "--scan", (dir.path() / "held-scan").string(), "-o", "k.tsv"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const pid_t pid = start_cohort(dir, args, "", "first.txt");
    ASSERT_TRUE(wait_until([&] { return dir.exists("held"); }, 60)) << dir.read("first.txt");
    const double killed = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    kill(-pid, SIGKILL);
    EXPECT_EQ(status_of(pid), 128 + SIGKILL);
    EXPECT_TRUE(wait_until([&] { return processes_mentioning(dir.path()).empty(); }, 10));
    EXPECT_TRUE(wait_until([&] { return released(dir.path() / "k.tsv.resume" / "lock"); }, 10));
    const auto rerun = cohort(dir, args);
    EXPECT_EQ(rerun.status, 2) << rerun.err;
    EXPECT_EQ(dir.read("k.tsv"), dir.read("t2.tsv"));
    EXPECT_EQ(dir.read("k_failed.tsv"), dir.read("t2_failed.tsv"));
    std::map<std::string, double> started;
    for (const auto& line : lines_of(dir.read("jobs.log")))
        if (line.rfind("Seq", 0) != 0) {
            const auto f = tab_fields(line);
            EXPECT_TRUE(started.emplace(f[0], std::stod(f[2])).second) << "job " << f[0] << " twice";
        }
    ASSERT_EQ(started.size(), 3u);
    EXPECT_LT(started["1"], killed) << "the first batch ran again";
    EXPECT_GT(started["2"], killed);
}

// A stand-in for nongauss-scan that runs until it is stopped: every signal
// reaches the cohort while its jobs run, or, the first, before they start.
TEST(Cohort, SignalsStopTheJobsAndRemoveTheTemporaryFiles) {
    NEEDS_SCAN();
    ScratchDir dir;
    const fs::path tmp = dir.path() / "tmp";
    fs::create_directories(tmp);
    dir.write("slow-scan", "#!/bin/sh\n: > '" + (dir.path() / "started").string() + "'\nsleep 60\n");
    fs::permissions(dir.path() / "slow-scan", fs::perms::owner_all);
    std::vector<std::string> args = {"-j", "2", "-s", "25,50", "-o", "t.tsv", "--scan",
                                     (dir.path() / "slow-scan").string()};
    for (int i = 1; i <= 3; ++i) {
        args.push_back("f" + std::to_string(i) + ".txt");
        synthesize(dir, args.back(), {"--hours", "0.5", "--seed", std::to_string(i)});
    }
    const auto stopped = [&](const std::string& when) {
        EXPECT_NE(dir.read("err.txt").find("interrupted"), std::string::npos) << when << dir.read("err.txt");
        EXPECT_EQ(processes_mentioning(dir.path()), "") << when;
        EXPECT_TRUE(fs::is_empty(tmp)) << when;
        EXPECT_FALSE(dir.exists("t.tsv")) << when;
    };
    // At once, even before GNU parallel has started its jobs (which it ignores
    // SIGTERM for): the run is stopped, not finished hours later.
    pid_t pid = start_cohort(dir, args, tmp.string(), "err.txt");
    ASSERT_TRUE(wait_until([&] { return dir.exists("t.tsv.resume"); }, 30));
    kill(pid, SIGTERM);
    EXPECT_EQ(status_within(pid, 10), 128 + SIGTERM) << dir.read("err.txt");
    stopped("early SIGTERM");
    // The classic three, and of the others one that ends the script without
    // a core (USR1), one whose default would dump one (QUIT) and PIPE.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGPIPE}) {
        fs::remove(dir.path() / "started");
        pid = start_cohort(dir, args, tmp.string(), "err.txt");
        ASSERT_TRUE(wait_until([&] { return dir.exists("started"); }, 30));
        kill(pid, signal);
        EXPECT_EQ(status_within(pid, 20), 128 + signal) << dir.read("err.txt");
        stopped("signal " + std::to_string(signal));
    }
}

// GNU parallel stops its jobs by their process groups; a job it has just
// forked has no group of its own yet and escapes that stop. A stand-in for
// GNU parallel that is the real one with every job's setpgrp three seconds
// late makes every job such a job: when the cohort has ended, none of them
// may still run (in a temporary directory that is gone).
TEST(Cohort, AJobForkedAsTheCohortStopsDoesNotOutliveIt) {
    NEEDS_SCAN();
    ScratchDir dir;
    const fs::path tmp = dir.path() / "tmp", bin = dir.path() / "bin";
    fs::create_directories(tmp);
    fs::create_directories(bin);
    const std::string real = run_shell("command -v parallel", dir.path()).out;
    ASSERT_FALSE(real.empty()) << "GNU parallel is missing (Debian package 'parallel')";
    // (It marks that a job waits for its group in the file "forked".)
    dir.write("bin/parallel",
              "#!/bin/sh\nexec perl -e 'BEGIN { *CORE::GLOBAL::setpgrp = sub { open(my $m, \">>\", \"" +
                  (dir.path() / "forked").string() + "\"); close($m); select(undef, undef, undef, 3); "
              "CORE::setpgrp(0, 0) } } $0 = shift; do \"" + real.substr(0, real.size() - 1) +
              "\"; die $@ if $@;' -- \"$0\" \"$@\"\n");
    fs::permissions(bin / "parallel", fs::perms::owner_all);
    std::vector<std::string> args = {"-j", "2", "-o", "t.tsv"};
    for (int i = 1; i <= 3; ++i) {
        args.push_back("f" + std::to_string(i) + ".txt");
        synthesize(dir, args.back(), {"--hours", "0.5", "--seed", std::to_string(i)});
    }
    const pid_t pid = start_cohort(dir, args, tmp.string(), "err.txt", bin.string() + ":" + std::getenv("PATH"));
    ASSERT_TRUE(wait_until([&] { return dir.exists("forked"); }, 30)) << dir.read("err.txt");
    kill(pid, SIGTERM);
    EXPECT_EQ(status_within(pid, 20), 128 + SIGTERM) << dir.read("err.txt");
    EXPECT_EQ(processes_mentioning(dir.path()), "");
    EXPECT_TRUE(fs::is_empty(tmp));
}

// What is in `dir`, one path a line (none: empty).
std::string left_in(const fs::path& dir) {
    std::string listing;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
        listing += fs::relative(entry.path(), dir).string() + "\n";
    return listing;
}

// Random signals (a fixed seed), each followed by the same command: no job is
// left running after any of them, no temporary file (the runner removes the
// script's directory even after SIGKILL), and the table, whenever one is
// written, is the one an uninterrupted run writes, byte for byte. First a
// SIGKILL while the script prepares its temporary directory, held there by a
// stand-in for ln: the directory goes all the same.
TEST(Cohort, RandomSignalsThenTheSameCommandGiveTheUninterruptedTable) {
    NEEDS_SCAN();
    ScratchDir dir;
    const fs::path tmp = dir.path() / "tmp";
    fs::create_directories(tmp);
    std::vector<std::string> args = {"-j", "2", "-c", "-s", "25,50", "-o", "t.tsv"};
    for (int i = 1; i <= 5; ++i) {
        args.push_back("f" + std::to_string(i) + ".txt");
        synthesize(dir, args.back(), {"--hours", "1", "--seed", std::to_string(i)});
    }
    auto straight = args;
    straight[6] = "straight.tsv";
    ASSERT_EQ(cohort(dir, straight).status, 0);

    const fs::path bin = dir.path() / "bin";
    fs::create_directories(bin);
    dir.write("bin/ln", "#!/bin/sh\nmkdir '" + (dir.path() / "held").string() +
                            "' 2> /dev/null && exec sleep 60\nexec /bin/ln \"$@\"\n");
    fs::permissions(bin / "ln", fs::perms::owner_all);
    const pid_t held = start_cohort(dir, args, tmp.string(), "err.txt", bin.string() + ":" + std::getenv("PATH"));
    ASSERT_TRUE(wait_until([&] { return dir.exists("held"); }, 30)) << dir.read("err.txt");
    EXPECT_FALSE(fs::is_empty(tmp));
    kill(-held, SIGKILL);
    EXPECT_EQ(status_within(held, 30), 128 + SIGKILL);
    EXPECT_TRUE(wait_until([&] { return fs::is_empty(tmp); }, 10)) << left_in(tmp);

    std::mt19937 random(20240607);
    const int signals[] = {SIGKILL, SIGTERM, SIGINT, SIGHUP};
    for (int round = 0; round < 5; ++round) {
        const pid_t pid = start_cohort(dir, args, tmp.string(), "err.txt");
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 1700));
        const int signal = signals[random() % 4];
        kill(signal == SIGKILL ? -pid : pid, signal);
        const int status = status_within(pid, 30);
        EXPECT_TRUE(status == 0 || status == 128 + signal) << "round " << round << ": " << status;
        EXPECT_TRUE(wait_until([&] { return processes_mentioning(dir.path()).empty(); }, 10)) << "round " << round;
        EXPECT_TRUE(wait_until([&] { return released(dir.path() / "t.tsv.resume" / "lock"); }, 10)) << "round " << round;
        EXPECT_TRUE(wait_until([&] { return fs::is_empty(tmp); }, 10)) << "round " << round << ":\n" << left_in(tmp);
        if (signal != SIGKILL) {
            for (const auto& entry : fs::directory_iterator(dir.path()))
                EXPECT_NE(entry.path().filename().string().rfind(".nongauss", 0), 0u) << entry.path();
        }
        if (dir.exists("t.tsv")) {
            EXPECT_EQ(dir.read("t.tsv"), dir.read("straight.tsv")) << "round " << round;
        }
    }
    const auto last = cohort(dir, args);
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(dir.read("t.tsv"), dir.read("straight.tsv"));
    EXPECT_FALSE(dir.exists("t.tsv.resume"));
}

// When no job can run at all (here GNU parallel's bzip2 fails), the failure
// log and the message say why; the job log is this cohort's alone, and once
// the cause is mended the same command finishes every file. Without bzip2 the
// cohort does not start. (GNU parallel compresses the job function with bzip2
// for the jobs of machines given, even ':', this machine; jobs of a cohort
// without machines inherit it.)
TEST(Cohort, JobsThatCannotRunSayWhyAndTheirJobLogIsTheirs) {
    NEEDS_SCAN();
    ScratchDir dir;
    const fs::path broken = dir.path() / "broken";
    fs::create_directories(broken);
    dir.write("broken/bzip2", "#!/bin/sh\necho 'bzip2: cannot run here (a stand-in)' >&2\nexit 2\n");
    fs::permissions(broken / "bzip2", fs::perms::owner_all);
    synthesize(dir, "x.txt", {"--hours", "0.5"});
    synthesize(dir, "y.txt", {"--hours", "0.5", "--seed", "2"});
    const std::vector<std::string> args = {"-S", ":", "--joblog", "shared.log", "-o", "a.tsv", "x.txt", "y.txt"};
    const pid_t pid = start_cohort(dir, args, "", "err.txt", broken.string() + ":" + std::getenv("PATH"));
    EXPECT_EQ(status_within(pid, 60), 2);
    EXPECT_NE(dir.read("err.txt").find("no file finished: "), std::string::npos) << dir.read("err.txt");
    EXPECT_NE(dir.read("err.txt").find("cannot run here (a stand-in)"), std::string::npos) << dir.read("err.txt");
    for (const auto& row : rows_of(dir.read("a_failed.tsv"), log_header)) {
        EXPECT_EQ(row[3].rfind("the job did not finish: ", 0), 0u) << row[3];
        EXPECT_NE(row[3].find("cannot run here (a stand-in)"), std::string::npos) << row[3];
    }

    // Another cohort may not take over the unfinished one's job log.
    const std::string entries = dir.read("shared.log");
    const auto other = cohort(dir, {"--joblog", "shared.log", "-o", "b.tsv", "x.txt"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("the job log 'shared.log' exists"), std::string::npos) << other.err;
    EXPECT_EQ(dir.read("shared.log"), entries);
    EXPECT_FALSE(dir.exists("b.tsv.resume"));

    const auto mended = cohort(dir, args);
    EXPECT_EQ(mended.status, 0) << mended.err;
    EXPECT_EQ(rows_of(dir.read("a.tsv"), table_header).size(), 2u);

    // A PATH with everything but bzip2.
    const fs::path bare = dir.path() / "bare";
    fs::create_directories(bare);
    for (const auto& entry : fs::directory_iterator("/usr/bin")) {
        const std::string name = entry.path().filename().string();
        if (name.find("bz") == std::string::npos) fs::create_symlink(entry.path(), bare / name);
    }
    const pid_t none = start_cohort(dir, {"-S", ":", "-o", "c.tsv", "x.txt"}, "", "err.txt", bare.string());
    EXPECT_EQ(status_within(none, 30), 1);
    EXPECT_EQ(dir.read("err.txt"), "nongauss-cohort: GNU parallel needs bzip2 to pass the jobs their function, "
                                   "and it is not installed (Debian package 'bzip2')\n");
    EXPECT_FALSE(dir.exists("c.tsv.resume"));
    // Without machines the jobs inherit their function: no bzip2 needed.
    const pid_t here = start_cohort(dir, {"-o", "d.tsv", "x.txt"}, "", "err.txt", bare.string());
    EXPECT_EQ(status_within(here, 60), 0) << dir.read("err.txt");
}

TEST(Cohort, AnOutputThatIsAnInputIsRefusedAndNamesReachTheTableUnchanged) {
    NEEDS_SCAN();
    ScratchDir dir;
    synthesize(dir, "rec.txt", {"--hours", "1"});
    const std::string original = dir.read("rec.txt");
    fs::create_hard_link(dir.path() / "rec.txt", dir.path() / "hard.txt");
    fs::create_symlink("rec.txt", dir.path() / "soft.txt");
    const std::vector<std::vector<std::string>> clashes = {
        {"-o", "rec.txt", "rec.txt"},   {"-l", "rec.txt", "rec.txt"}, {"-o", "./rec.txt", "rec.txt"},
        {"-o", "hard.txt", "rec.txt"},  {"-l", "soft.txt", "rec.txt"}, {"--joblog", "rec.txt", "rec.txt"},
        {"-o", "rec.txt", "-c", "hard.txt"}};
    for (const auto& args : clashes) {
        const auto r = cohort(dir, args);
        EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
        EXPECT_NE(r.err.find("is one of the inputs"), std::string::npos) << r.err;
        EXPECT_EQ(dir.read("rec.txt"), original);
    }
    EXPECT_FALSE(dir.exists("rec.txt.resume"));

    // Backslashes, spaces, quotes and a leading dash, exactly as given.
    const std::vector<std::string> names = {"back\\tslash.txt", "two\\\\back.txt", "a b 'c'.txt", "-dash.txt"};
    for (const auto& name : names) fs::copy_file(dir.path() / "rec.txt", dir.path() / name);
    std::vector<std::string> args = {"-s", "25", "--"};
    args.insert(args.end(), names.begin(), names.end());
    const auto r = cohort(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    const auto rows = rows_of(dir.read("cohort.tsv"), table_header);
    ASSERT_EQ(rows.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(rows[i].size(), 8u);
        EXPECT_EQ(rows[i][0], names[i]);
        EXPECT_EQ(rows[i][3], rows[0][3]);
    }

    // Output names that GNU parallel would take for code (a replacement
    // string, a job log to append to), written exactly there, with the mode
    // the umask gives.
    const std::string table = "t{= system(\"touch PWNED\") =}{1}.tsv";
    const auto odd = run_shell("umask 027 && " + cohort_command({"-o", table, "-l", "-f.tsv", "--joblog", "+j.log",
                                                                "rec.txt"}), dir.path());
    EXPECT_EQ(odd.status, 0) << odd.err;
    EXPECT_FALSE(dir.exists("PWNED"));
    EXPECT_EQ(rows_of(dir.read(table), table_header).size(), 1u);
    EXPECT_EQ(lines_of(dir.read("+j.log")).size(), 2u);
    for (const std::string& file : {table, std::string("-f.tsv")}) {
        struct stat st {};
        ASSERT_EQ(stat((dir.path() / file).c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, 0640u) << file;
    }
}

// The Slurm example, run task by task as the scheduler would, gives the
// table one nongauss-scan call gives.
TEST(Cohort, SlurmExampleSlicesTheListAndMergesInOrder) {
    NEEDS_SCAN();
    ScratchDir dir;
    const std::string example = source_path("examples/cohort-slurm.sh");
    EXPECT_EQ(run_tool({"-n", example}, dir.path(), "/bin/bash").status, 0);
    std::string list;
    std::vector<std::string> all = {"-s", "10,25"};
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "rec" + std::to_string(i) + ".txt";
        synthesize(dir, name, {"--hours", "1", "--seed", std::to_string(i)});
        list += name + "\n";
        all.push_back(name);
    }
    dir.write("files.txt", list);
    const std::string env = std::string("SCALES=10,25 NONGAUSS_SCAN='") + NONGAUSS_SCAN_EXE +
                            "' SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_COUNT=3 ";
    const auto merge = [&] { return run_shell(env + "bash '" + example + "' --merge files.txt results", dir.path()); };
    for (const std::string task : {"0", "2"})
        ASSERT_EQ(run_shell(env + "SLURM_ARRAY_TASK_ID=" + task + " bash '" + example + "' files.txt results",
                            dir.path()).status, 0);
    const auto incomplete = merge();
    EXPECT_EQ(incomplete.status, 1);
    EXPECT_NE(incomplete.err.find("run the missing tasks again"), std::string::npos) << incomplete.err;
    ASSERT_EQ(run_shell(env + "SLURM_ARRAY_TASK_ID=1 bash '" + example + "' files.txt results", dir.path()).status, 0);
    const auto merged = merge();
    EXPECT_EQ(merged.status, 0) << merged.err;
    const auto direct = run_tool(all, dir.path(), NONGAUSS_SCAN_EXE);
    EXPECT_EQ(merged.out, direct.out);
    EXPECT_EQ(lines_of(merged.out).size(), 11u);

    // Task 1 run again alone, in an array of its own as "sbatch --array=1"
    // makes it, takes the slice it had; a task the first array did not have
    // is refused.
    const std::string part = dir.read("results/part_000001.tsv");
    const auto alone = [&](const std::string& task) {
        return run_shell(env + "SLURM_ARRAY_TASK_ID=" + task + " SLURM_ARRAY_TASK_MIN=" + task +
                             " SLURM_ARRAY_TASK_MAX=" + task + " SLURM_ARRAY_TASK_COUNT=1 bash '" + example +
                             "' files.txt results",
                         dir.path());
    };
    ASSERT_EQ(alone("1").status, 0);
    EXPECT_EQ(dir.read("results/part_000001.tsv"), part);
    const auto beyond = alone("3");
    EXPECT_EQ(beyond.status, 1);
    EXPECT_NE(beyond.err.find("task 3 over 5 files is not one of them"), std::string::npos) << beyond.err;
    EXPECT_EQ(merge().out, direct.out);

    // A part written for another list of as many files does not count.
    dir.write("others.txt", "rec5.txt\nrec4.txt\nrec3.txt\nrec2.txt\nrec1.txt\n");
    ASSERT_EQ(run_shell(env + "SLURM_ARRAY_TASK_ID=1 bash '" + example + "' others.txt results", dir.path()).status, 0);
    const auto mixed = merge();
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find("run the missing tasks again"), std::string::npos) << mixed.err;

    // A task cancelled while nongauss-scan writes leaves no part and no
    // temporary file: the part of the run before stays as it was.
    const std::string before = dir.read("results/part_000001.tsv");
    dir.write("stalling-scan", "#!/bin/sh\nprintf 'file\\tscale_s\\n'\n: > '" + (dir.path() / "started").string() +
                                   "'\nexec sleep 60\n");
    fs::permissions(dir.path() / "stalling-scan", fs::perms::owner_all);
    const pid_t task = start_process({"/bin/bash", example, "files.txt", "results"}, dir.path(),
                                     {{"SCALES", "10,25"}, {"NONGAUSS_SCAN", (dir.path() / "stalling-scan").string()},
                                      {"SLURM_ARRAY_TASK_ID", "1"}, {"SLURM_ARRAY_TASK_COUNT", "3"}},
                                     dir.path() / "task.txt");
    ASSERT_TRUE(wait_until([&] { return dir.exists("started"); }, 30));
    kill(task, SIGTERM);
    EXPECT_EQ(status_within(task, 10), 128 + SIGTERM) << dir.read("task.txt");
    EXPECT_EQ(dir.read("results/part_000001.tsv"), before);
    for (const auto& entry : fs::directory_iterator(dir.path() / "results")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE((name.size() == 15 && name.rfind("part_", 0) == 0 && name.substr(11) == ".tsv") ||
                    name == "slicing")
            << name;
    }
}

TEST(Cohort, ProgressBarOnlyOnATerminal) {
    NEEDS_SCAN();
    NONGAUSS_REQUIRE_PROGRAM("script", "bsdutils");
    ScratchDir dir;
    synthesize(dir, "x.txt", {"--hours", "0.5"});
    const auto r = run_shell("script -qec \"" + cohort_command({"-s", "25,30", "x.txt"}) + "\" /dev/null", dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
    const auto quiet = run_shell("script -qec \"" + cohort_command({"-q", "x.txt"}) + "\" /dev/null", dir.path());
    EXPECT_EQ(quiet.out.find('%'), std::string::npos) << quiet.out;
    EXPECT_NE(quiet.out.find("1 of 1 rows"), std::string::npos) << quiet.out;
}

TEST(Cohort, CommandLineConventions) {
    NEEDS_SCAN();
    ScratchDir dir;
    const auto help = run_tool({"--help"}, dir.path(), cohort_script());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: nongauss-cohort", 0), 0u);
    const auto version = run_tool({"--version"}, dir.path(), cohort_script());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("nongauss-cohort ") + NONGAUSS_VERSION + "\n");

    dir.write("x.txt", "800\n");
    fs::create_directories(dir.path() / "used");
    dir.write("used/old.txt", "");
    const std::vector<std::vector<std::string>> cases = {
        {}, {"--bogus", "x.txt"}, {"-s", "abc", "x.txt"}, {"-s", "", "x.txt"}, {"-j0", "x.txt"},
        {"--batch", "0", "x.txt"}, {"-j"}, {"-f", "no-such-list"}, {"-o", "t.tsv", "-l", "t.tsv", "x.txt"},
        {"-k", "used", "x.txt"}, {"--scan", "/no/such/nongauss-scan", "x.txt"},
        {"-o", "no/such/dir/t.tsv", "x.txt"}, {"--sshloginfile", "no-such-file", "x.txt"},
        {"-o", "", "x.txt"}, {"-l", "", "x.txt"}, {"--joblog", "", "x.txt"}, {"-k", "", "x.txt"},
        {"--writer", "/no/such/nongauss-write", "x.txt"}, {"-c", "--masked", "x.txt"}};
    for (const auto& args : cases) {
        const auto r = cohort(dir, args);
        EXPECT_EQ(r.status, 1) << (args.empty() ? "" : args[0]) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("nongauss-cohort: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(dir.exists("cohort.tsv"));
    EXPECT_FALSE(dir.exists("cohort.tsv.resume"));
}

}  // namespace
}  // namespace nongauss
