// timed_run COMMAND [ARGS...]: runs COMMAND with its standard output and
// error sent to /dev/null and prints "WALL_MICROSECONDS PEAK_RSS_KB" of that
// run alone: the clock is read just before the fork and just after the wait,
// so the harness's own processes (a shell, date, /usr/bin/time: about 3 ms a
// run on the project's machine) are not counted. Exits with the command's
// status (127 when it cannot be started, 128 + N when signal N ended it).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: timed_run COMMAND [ARGS...]\n");
        return 2;
    }
    timespec start{};
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) return 127;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return 127;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const long long micro = (end.tv_sec - start.tv_sec) * 1000000LL + (end.tv_nsec - start.tv_nsec) / 1000;
    std::printf("%lld %ld\n", micro, usage.ru_maxrss);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
