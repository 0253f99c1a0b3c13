/* Runs one command for the benchmark runner (runner.py) and reports on a file descriptor:
   first the command's process id, and when it has ended its wait status, its wall time in
   nanoseconds, its largest resident set in KiB and its processor time (user and system) in
   nanoseconds.

       spawn FD AS_LIMIT_BYTES COMMAND [ARG...]

   The command is forked from this small process rather than from the runner because a
   process's peak resident set counts the image it was forked from: forked from the runner,
   every command would show at least the runner's own size. AS_LIMIT_BYTES, when not 0,
   caps the command's address space. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 4) {
        fputs("usage: spawn FD AS_LIMIT_BYTES COMMAND [ARG...]\n", stderr);
        return 2;
    }
    int fd = atoi(argv[1]);
    rlim_t limit = strtoull(argv[2], NULL, 10);
    FILE* report = fdopen(fd, "w");
    if (!report || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        perror("spawn: report descriptor");
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = fork();
    if (pid == 0) {
        struct rlimit rl = {limit, limit};
        if (limit != 0 && setrlimit(RLIMIT_AS, &rl) != 0) perror("spawn: setrlimit");
        execvp(argv[3], argv + 3);
        perror(argv[3]);
        _exit(127);
    }
    if (pid < 0) {
        perror("spawn: fork");
        return 2;
    }
    fprintf(report, "%d\n", (int)pid);
    fflush(report);
    int status;
    struct rusage usage;
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            perror("spawn: wait4");
            return 2;
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    long long ns = (long long)(end.tv_sec - start.tv_sec) * 1000000000LL
                 + (end.tv_nsec - start.tv_nsec);
    long long cpu_ns = ((long long)usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000000LL
                     + ((long long)usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1000LL;
    fprintf(report, "%d %lld %ld %lld\n", status, ns, usage.ru_maxrss, cpu_ns);
    return fclose(report) == 0 ? 0 : 2;
}
