#!/usr/bin/env bash
# Every script in scripts/ explains itself and refuses what it does not know,
# before it installs or builds anything: with -h and --help it prints its usage
# on standard output and exits 0; with an unknown option it prints the usage on
# standard error and exits non-zero. apt-get, sudo, cmake, ctest and the rest
# are tripwires first on PATH, so a script that reaches them fails the test.
#   usage_test.sh REPO
set -euo pipefail
repo=$(cd "$1" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-usage-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tripwire"
for command in apt-get apt sudo dpkg-query cmake ctest ninja make git curl wine64 wine \
  wineserver Xvfb osslsigncode openssl zip unzip flock localedef nproc wixl msibuild faketime; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/tripwire.log"\nexit 97\n' "$command" "$scratch" \
    >"$scratch/tripwire/$command"
  chmod +x "$scratch/tripwire/$command"
done
export PATH=$scratch/tripwire:$PATH

failures=0
Fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

scripts=()
for script in "$repo"/scripts/*; do
  [[ -f $script && -x $script ]] && scripts+=("$script")
done
((${#scripts[@]} > 0)) || { echo "FAILED: no scripts in $repo/scripts"; exit 1; }

for script in "${scripts[@]}"; do
  name=$(basename "$script")
  for help in -h --help; do
    : >"$scratch/tripwire.log"
    status=0
    (cd "$scratch" && timeout 20 "$script" "$help") >"$scratch/out" 2>"$scratch/err" || status=$?
    [[ $status == 0 ]] || Fail "$name $help exits $status: $(head -c 300 "$scratch/err")"
    grep -qF "scripts/$name" "$scratch/out" || Fail "$name $help prints no usage (naming scripts/$name) on standard output"
    [[ ! -s $scratch/tripwire.log ]] || Fail "$name $help ran: $(tr '\n' ';' <"$scratch/tripwire.log")"
  done
  : >"$scratch/tripwire.log"
  status=0
  (cd "$scratch" && timeout 20 "$script" --no-such-option) >"$scratch/out" 2>"$scratch/err" ||
    status=$?
  [[ $status != 0 ]] || Fail "$name --no-such-option exits 0"
  [[ $status != 97 ]] || Fail "$name --no-such-option reached a tripwire first"
  grep -qF "scripts/$name" "$scratch/err" ||
    Fail "$name --no-such-option prints no usage (naming scripts/$name) on standard error"
  [[ ! -s $scratch/tripwire.log ]] ||
    Fail "$name --no-such-option ran: $(tr '\n' ';' <"$scratch/tripwire.log")"
  ((failures)) || echo "ok: $name"
done

((failures == 0)) || { echo "$failures failure(s)"; exit 1; }
echo "all ${#scripts[@]} scripts: usage on -h and --help, refusal of an unknown option"
