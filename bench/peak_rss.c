/* wardkeep-bench-peak FILE COMMAND [ARG...]: runs the command and writes its
 * peak resident set in KiB to FILE; exits with the command's status.
 *
 * A separate small C program because Linux carries the high-water mark of the
 * memory a process had before exec into its rusage: a child spawned straight
 * from the benchmark (which shares its memory until exec) reports the
 * benchmark's own peak. Forked from this one, the floor is this one's ~1 MiB. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) return 1;
  FILE* out = fopen(argv[1], "w");
  if (out != NULL) {
    fprintf(out, "%ld\n", usage.ru_maxrss);
    fclose(out);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
