// Runs one command and reports its wall time and peak resident memory, taken from wait4 so the
// figure belongs to that process alone and not to the script that started it. GNU time would
// do the same but is not on every machine.
//
//   bench_measure RESULT_FILE COMMAND [ARG...]
//
// RESULT_FILE receives "seconds=S peak_kb=K user_s=U sys_s=Y"; the command's exit status is
// passed on. CPU seconds are kept beside wall time because they suffer less from a busy machine.

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bench_measure RESULT_FILE COMMAND [ARG...]\n");
    return 2;
  }
  double start = Now();
  pid_t child = fork();
  if (child < 0) {
    fprintf(stderr, "bench_measure: fork: %s\n", strerror(errno));
    return 2;
  }
  if (child == 0) {
    execvp(argv[2], argv + 2);
    fprintf(stderr, "bench_measure: %s: %s\n", argv[2], strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage;
  pid_t waited;
  do {
    waited = wait4(child, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  double seconds = Now() - start;
  if (waited < 0) {
    fprintf(stderr, "bench_measure: wait4: %s\n", strerror(errno));
    return 2;
  }

  FILE* result = fopen(argv[1], "w");
  if (!result ||
      fprintf(result, "seconds=%.6f peak_kb=%ld user_s=%.6f sys_s=%.6f\n", seconds, usage.ru_maxrss,
              Seconds(usage.ru_utime), Seconds(usage.ru_stime)) < 0 ||
      fclose(result) != 0) {
    fprintf(stderr, "bench_measure: cannot write %s\n", argv[1]);
    return 2;
  }
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
