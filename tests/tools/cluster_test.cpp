// Cohorts on real engines started by scripts/local-cluster: a Slurm job array
// of the Slurm example, with one task cancelled mid-run and resubmitted; the
// cohort runner over two machines behind real sshd servers, one of them
// killed mid-cohort; and the watchdog that stops a cluster whose test has died.
// Each test checks that nothing it started stays behind: no process, no
// mount, no file at the daemons' default places.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <thread>

#include "tools/background_run.hpp"
#include "tools/local_cluster.hpp"
#include "nongauss/tsv_field.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using namespace nongauss::testing;

// A shell command line started in `dir` in the background, both output
// streams to `log`.
pid_t start_shell(const std::string& command, const fs::path& dir, const fs::path& log) {
    return start_process({"/bin/sh", "-c", command}, dir, {}, log);
}

std::string quoted(const std::string& word) { return "'" + word + "'"; }

// What the daemons could leave behind, taken before a cluster starts, and
// compared once it is down.
class NothingLeftBehind {
public:
    explicit NothingLeftBehind(const ScratchDir& scratch) : scratch_(scratch.path()), places_(default_places()) {
        EXPECT_EQ(processes_using(scratch_), "");
    }
    void check() const {
        // (A process that has just been killed may take a moment to go.)
        wait_until([&] { return processes_using(scratch_).empty(); }, 10);
        EXPECT_EQ(processes_using(scratch_), "");
        EXPECT_EQ(mounts_of(scratch_), "");
        EXPECT_EQ(default_places(), places_);
    }

private:
    fs::path scratch_;
    std::string places_;
};

#define NEEDS_SLURM()                                         \
    NEEDS_SCAN();                                             \
    NONGAUSS_REQUIRE_PROGRAM("/usr/sbin/munged", "munge");    \
    NONGAUSS_REQUIRE_PROGRAM("/usr/sbin/slurmctld", "slurm-wlm"); \
    NONGAUSS_REQUIRE_PROGRAM("/usr/sbin/slurmd", "slurm-wlm"); \
    NONGAUSS_REQUIRE_PROGRAM("sbatch", "slurm-wlm")

#define NEEDS_SSH()                                                \
    NEEDS_SCAN();                                                  \
    NONGAUSS_REQUIRE_PROGRAM("/usr/sbin/sshd", "openssh-server"); \
    NONGAUSS_REQUIRE_PROGRAM("ssh", "openssh-client");            \
    NONGAUSS_REQUIRE_PROGRAM("parallel", "parallel")

// The example as its comment says: an array over a list, the merge after
// every task; one task cancelled while it runs, the merge never runs, the
// task resubmitted alone, and the merged table is one nongauss-scan call's.
TEST(Cluster, SlurmArrayWithACancelledTaskResubmittedMergesToOneScan) {
    NEEDS_SLURM();
    ScratchDir dir;
    const NothingLeftBehind clean(dir);
    const std::string example = source_path("examples/cohort-slurm.sh");
    std::string list;
    std::vector<std::string> direct = {"-s", "10,25"};
    for (int i = 1; i <= 7; ++i) {
        const std::string name = "rec" + std::to_string(i) + ".txt";
        synthesize(dir, name, {"--hours", "0.5", "--seed", std::to_string(i)});
        list += name + "\n";
        direct.push_back(name);
    }
    dir.write("files.txt", list);
    // The first run of task 1 waits to be cancelled; every other run is the scan.
    dir.write("held-scan", std::string("#!/bin/sh\n"
                                       "if [ \"$SLURM_ARRAY_TASK_ID\" = 1 ] && mkdir held 2> /dev/null; then\n"
                                       "  exec sleep 300\nfi\nexec ") +
                               quoted(NONGAUSS_SCAN_EXE) + " \"$@\"\n");
    fs::permissions(dir.path() / "held-scan", fs::perms::owner_all);
    {
        LocalCluster slurm("slurm", dir.path());
        ASSERT_TRUE(slurm.up()) << slurm.failure();
        EXPECT_NE(processes_using(dir.path()), "") << "the check sees no daemon";
        const auto sh = [&](const std::string& command) {
            return slurm.shell("export SCALES=10,25 NONGAUSS_SCAN=" + quoted((dir.path() / "held-scan").string()) +
                                   "\n" + command,
                               dir.path());
        };
        // Two processors: no task may ask for the example's four.
        const std::string task = "sbatch --parsable --cpus-per-task=1 --mem=100M ";
        const std::string merge = "sbatch --parsable --kill-on-invalid-dep=yes -o merge.out --wrap " +
                                  quoted("bash " + example + " --merge files.txt results > merged.part && "
                                         "mv merged.part merged.tsv") +
                                  " --dependency=afterok:";
        const auto submit = [&](const std::string& command) {
            const RunResult r = sh(command);
            EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
            return r.out.substr(0, r.out.find_first_of(";\n"));
        };
        const auto ended = [&](const std::string& jobs) {
            return wait_until([&] {
                const RunResult r = sh("squeue -h -j " + jobs);
                return r.status == 0 && r.out.empty();
            });
        };
        // The state of each task of a job ("-" for a job that is no array).
        const auto states = [&](const std::string& job) {
            std::map<std::string, std::string> state;
            const auto value = [](const std::string& line, const std::string& key) {
                const auto at = line.find(" " + key + "=");
                if (at == std::string::npos) return std::string("-");
                const auto from = at + key.size() + 2;
                return line.substr(from, line.find(' ', from) - from);
            };
            for (const auto& line : lines_of(sh("scontrol show job -o " + job).out))
                state[value(line, "ArrayTaskId")] = value(line, "JobState");
            return state;
        };
        using States = std::map<std::string, std::string>;

        const std::string array = submit(task + "--array=0-2 " + example + " files.txt results");
        const std::string first_merge = submit(merge + array);
        ASSERT_TRUE(wait_until([&] { return dir.exists("held"); })) << dir.read("cluster/log/slurmd.log");
        ASSERT_EQ(sh("scancel " + array + "_1").status, 0);
        ASSERT_TRUE(ended(array + "," + first_merge));
        EXPECT_EQ(states(array), (States{{"0", "COMPLETED"}, {"1", "CANCELLED"}, {"2", "COMPLETED"}}));
        EXPECT_EQ(states(first_merge), (States{{"-", "CANCELLED"}}));
        EXPECT_FALSE(dir.exists("merged.tsv"));
        const RunResult refused = sh("bash " + example + " --merge files.txt results");
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(has(refused.err, "run the missing tasks again")) << refused.err;

        const std::string again = submit(task + "--array=1 " + example + " files.txt results");
        const std::string second_merge = submit(merge + again);
        ASSERT_TRUE(ended(again + "," + second_merge));
        EXPECT_EQ(states(again), (States{{"1", "COMPLETED"}}));
        EXPECT_EQ(states(second_merge), (States{{"-", "COMPLETED"}})) << dir.read("merge.out");
        EXPECT_EQ(dir.read("merged.tsv"), run_tool(direct, dir.path(), NONGAUSS_SCAN_EXE).out);
        EXPECT_EQ(lines_of(dir.read("merged.tsv")).size(), 1u + 7 * 2);
        EXPECT_TRUE(slurm.down());
    }
    clean.check();
}

// Two machines reached through real sshd servers, with working directories of
// their own and the recordings in a directory both see. One sshd and its
// sessions are killed while the cohort runs: the runner names the files that
// did not finish, and the same command, once the machine is back, finishes
// them alone and writes the table a run on this machine writes.
TEST(Cluster, SshMachinesOneKilledMidCohortTheSameCommandFinishesTheRest) {
    NEEDS_SSH();
    ScratchDir dir;
    const NothingLeftBehind clean(dir);
    const int files = 8;
    std::string names;
    for (int i = 1; i <= files; ++i) {
        const std::string name = "r" + std::to_string(i) + ".txt";
        synthesize(dir, name, {"--hours", "0.5", "--seed", std::to_string(i)});
        names += " " + name;
    }
    // The scan, except that a job on m2 waits while the file "hold" exists:
    // m2 is then killed with a job of its own running, however fast the
    // others go.
    const fs::path hold = dir.path() / "hold";
    dir.write("scan", "#!/bin/sh\ncase \"$NONGAUSS_LOCAL_MACHINE\" in */m2) while [ -e " + quoted(hold.string()) +
                          " ]; do sleep 0.1; done ;; esac\nexec " + quoted(NONGAUSS_SCAN_EXE) + " \"$@\"\n");
    fs::permissions(dir.path() / "scan", fs::perms::owner_all);
    const std::string cohort = quoted(cohort_script()) + " --scan " + quoted((dir.path() / "scan").string()) +
                               " --clean-exe " + quoted(NONGAUSS_CLEAN_EXE) + " -c -s 25,50";
    const RunResult here = run_shell(cohort + " -o here.tsv" + names, dir.path());
    ASSERT_EQ(here.status, 0) << here.err;
    {
        LocalCluster ssh("ssh", dir.path());
        ASSERT_TRUE(ssh.up()) << ssh.failure();
        const fs::path cluster = ssh.dir();
        const std::string remote = cohort + " --ssh " + quoted("ssh -F " + (cluster / "ssh_config").string()) +
                                   " --sshloginfile " + quoted((cluster / "machines").string()) +
                                   " --joblog jobs.log -o remote.tsv" + names;
        const auto joblog = [&] { return lines_of(dir.exists("jobs.log") ? dir.read("jobs.log") : ""); };

        dir.write("hold", "");
        const pid_t run = start_shell(remote, dir.path(), dir.path() / "first.txt");
        ASSERT_TRUE(wait_until([&] { return joblog().size() >= 3; })) << dir.read("first.txt");
        const RunResult stop = ssh.script("stop", {"m2"});
        EXPECT_EQ(stop.status, 0) << stop.err;
        EXPECT_EQ(status_of(run), 2) << dir.read("first.txt");
        EXPECT_TRUE(has(dir.read("first.txt"), "did not finish: run the same command again")) << dir.read("first.txt");

        // The files reported unfinished are those whose jobs failed, on m2.
        std::set<std::string> failed, done;
        for (const auto& line : joblog()) {
            const auto f = tab_fields(line);
            if (f.size() < 9 || f[0] == "Seq") continue;
            const std::string file = "r" + f[0] + ".txt";
            if (f[6] == "0" && f[7] == "0") {
                done.insert(file);
            } else {
                failed.insert(file);
                EXPECT_EQ(f[1], "m2") << line;
            }
        }
        std::set<std::string> unfinished;
        for (const auto& line : lines_of(dir.read("remote_failed.tsv"))) {
            const auto f = tab_fields(line);
            if (f[0] == "file") continue;
            ASSERT_EQ(f.size(), 4u) << line;
            EXPECT_EQ(f[3].rfind("the job did not finish: ", 0), 0u) << line;
            EXPECT_TRUE(has(f[3], "(on machine m2)")) << "the reason names the machine: " << line;
            unfinished.insert(f[0]);
        }
        EXPECT_EQ(unfinished, failed);
        EXPECT_FALSE(failed.empty()) << "m2 was killed after the cohort";
        EXPECT_GE(done.size(), 2u);

        // m2 comes back; the same command finishes the rest, and only them.
        fs::remove(hold);
        const RunResult start = ssh.script("start", {"m2"});
        ASSERT_EQ(start.status, 0) << start.err;
        const double rerun_start =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        const RunResult rerun = run_shell(remote, dir.path());
        EXPECT_EQ(rerun.status, 0) << rerun.err;
        EXPECT_EQ(dir.read("remote.tsv"), dir.read("here.tsv"));
        EXPECT_FALSE(dir.exists("remote.tsv.resume"));
        // The job log holds each file once, done; those started by the rerun
        // are the ones that had failed.
        std::set<std::string> logged, rerun_files;
        for (const auto& line : joblog()) {
            const auto f = tab_fields(line);
            if (f[0] == "Seq") continue;
            ASSERT_GE(f.size(), 9u) << line;
            EXPECT_EQ(f[6], "0") << line;
            EXPECT_TRUE(logged.insert("r" + f[0] + ".txt").second) << line;
            if (std::stod(f[2]) >= rerun_start) rerun_files.insert("r" + f[0] + ".txt");
        }
        EXPECT_EQ(logged.size(), static_cast<std::size_t>(files));
        EXPECT_EQ(rerun_files, failed);
        // The jobs left nothing in the machines' working and temporary
        // directories, but for the scratch directories of the jobs that were
        // killed with m2 (a process killed outright cannot remove its own).
        for (const std::string m : {"m1", "m2"})
            EXPECT_TRUE(fs::is_empty(cluster / m / "home")) << m << "/home";
        EXPECT_TRUE(fs::is_empty(cluster / "m1" / "tmp"));
        std::size_t left = 0;
        for (const auto& entry : fs::directory_iterator(cluster / "m2" / "tmp")) {
            EXPECT_EQ(entry.path().filename().string().rfind("nongauss-cohort-job.", 0), 0u) << entry.path();
            ++left;
        }
        EXPECT_LE(left, failed.size());
        EXPECT_TRUE(ssh.down());
    }
    clean.check();
}

// A test that dies leaves no cluster: the watchdog of "up --while PID" stops
// the machines, their sessions included, and removes the directory.
TEST(Cluster, TheWatchdogStopsTheClusterWhenItsOwnerDies) {
    NEEDS_SSH();
    ScratchDir dir;
    const NothingLeftBehind clean(dir);
    const pid_t owner = fork();
    if (owner == 0) {
        pause();
        _exit(0);
    }
    const fs::path cluster = dir.path() / "cluster";
    const RunResult up = run_tool({source_path("scripts/local-cluster"), "ssh", "up", "--machines", "1", "--while",
                                   std::to_string(owner), cluster.string()},
                                  dir.path(), "/bin/bash");
    ASSERT_EQ(up.status, 0) << up.err;
    const pid_t session =
        start_shell("ssh -F cluster/ssh_config m1 'sleep 300'", dir.path(), dir.path() / "session.txt");
    EXPECT_TRUE(wait_until([&] { return has(processes_using(cluster), "sleep 300"); }));
    kill(owner, SIGKILL);
    EXPECT_EQ(status_of(owner), 128 + SIGKILL);
    // The session ends: its ssh loses the connection (255), or the watchdog's
    // sweep of the cluster's processes reaches the client first (SIGTERM).
    const int ended = status_of(session);
    EXPECT_TRUE(ended == 255 || ended == 128 + SIGTERM) << ended << " " << dir.read("session.txt");
    EXPECT_TRUE(wait_until([&] { return !fs::exists(cluster); }));
    clean.check();
}

}  // namespace
}  // namespace nongauss
