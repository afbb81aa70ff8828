# Usage for the scripts beside this folder, read from the calling script's
# header comment (from its second line to the first line that is not a comment).
#   Usage           the usage on standard output, exit 0 (for -h and --help)
#   UsageError MSG  MSG and the usage on standard error, exit 2

PrintUsage() {
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "${BASH_SOURCE[-1]}"
}

Usage() {
  PrintUsage
  exit 0
}

UsageError() {
  {
    echo "$(basename "${BASH_SOURCE[-1]}"): $*"
    PrintUsage
  } >&2
  exit 2
}
