#!/usr/bin/env bash
# scripts/run's demo as a new user meets it, without a terminal, twice in a
# row: a private HOME and TMPDIR outside the build tree, the update offered, and
# tripwires for net, systemctl and redis-cli further down PATH than the demo's.
# It passes when each run installs the offered JAR in the demo installation and
# nothing reached HOME, TMPDIR or a tripwire.
#   demo_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
demo=$build/demo

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-demo-test.XXXXXX")
group=
Cleanup() {
  [[ -z $group ]] || kill -TERM -- "-$group" 2>/dev/null || true
  rm -rf "$scratch"
}
trap Cleanup EXIT
mkdir -p "$scratch"/{home,tmp,tripwire}
for command in net systemctl redis-cli redis-cli.exe; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/tripwire.log"\nexit 1\n' "$command" "$scratch" \
    >"$scratch/tripwire/$command"
  chmod +x "$scratch/tripwire/$command"
done

failures=0
Check() { # description command...
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
Contains() { grep -qF -- "$2" "$1"; }

# Waits until the watchdog has finished its update run and shows its status
# line, for at most a minute.
WaitForStatusLine() {
  local _
  for _ in $(seq 600); do
    grep -q '^wardkeep (hidden)' "$1" 2>/dev/null && return 0
    kill -0 "$group" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

RunDemoOnce() { # run number
  local out=$scratch/out$1
  env -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR -u XDG_CACHE_HOME -u XDG_DATA_HOME \
    -u XDG_STATE_HOME -u WARDKEEP_DRIVE_C -u WARDKEEP_DRIVE_D \
    HOME="$scratch/home" TMPDIR="$scratch/tmp" PATH="$scratch/tripwire:$PATH" \
    setsid "$repo/scripts/demo" --update --build-dir "$build" </dev/null >"$out" 2>&1 &
  group=$!
  Check "run $1: the watchdog is up after its update run" WaitForStatusLine "$out"
  # A second demo meanwhile is refused and leaves the first one's alone.
  if "$repo/scripts/demo" --build-dir "$build" </dev/null >"$out.second" 2>&1; then
    Check "run $1: a second demo is refused" false
  else
    Check "run $1: a second demo is refused" Contains "$out.second" "another demo is running"
  fi
  # A moment more: nothing else may happen while it idles.
  sleep 1
  kill -TERM -- "-$group" 2>/dev/null || true
  wait "$group" 2>/dev/null || true
  local _
  for _ in $(seq 50); do
    kill -0 -- "-$group" 2>/dev/null || break
    sleep 0.1
  done
  Check "run $1: no process of the demo is left" bash -c "! kill -0 -- -$group 2>/dev/null"
  group=

  local install=$demo/D/orv/stock-relay
  Check "run $1: the progress lines were shown" Contains "$out" "操作完成。"
  Check "run $1: the offered JAR is installed" \
    cmp -s "$install/app/stock-relay.jar" "$demo/jars/stock-relay-2.0.0.jar"
  Check "run $1: nothing was written beside the program" \
    test "$(ls -A "$demo/C/wardkeep")" = wardkeep
  Check "run $1: nothing was left in the application folder" \
    test "$(ls -A "$install/app")" = stock-relay.jar
  local backups=("$install"/backUp/*/stock-relay.jar)
  Check "run $1: one time-stamped backup (a fresh demo)" test "${#backups[@]}" -eq 1
  Check "run $1: the backup's name is a time stamp" \
    bash -c "[[ '${backups[0]}' =~ /backUp/[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}/ ]]"
  Check "run $1: the backup holds the old JAR" \
    cmp -s "${backups[0]}" "$demo/jars/stock-relay-1.0.0.jar"
  Check "run $1: the stand-in net stopped and started the service" \
    bash -c "grep -x 'net stop stock-relay' '$demo/calls.log' >/dev/null &&
             sed -n '/^net stop stock-relay$/,\$p' '$demo/calls.log' | grep -qx 'net start stock-relay'"
  Check "run $1: the autostart entry is in the demo" \
    Contains "$demo/home/.config/autostart/orvWardkeep.desktop" "Exec=\"$demo/C/wardkeep/wardkeep\""
  Check "run $1: the single-instance lock is in the demo" test -e "$demo/run/ORV_WARDKEEP.lock"
  Check "run $1: nothing was written to HOME or TMPDIR" \
    test -z "$(find "$scratch/home" "$scratch/tmp" -mindepth 1 -print -quit)"
  Check "run $1: no tripwire was called" test ! -e "$scratch/tripwire.log"
  if ((failures)); then
    echo "--- run $1 output:"
    cat "$out"
    [[ ! -e $scratch/tripwire.log ]] || cat "$scratch/tripwire.log"
  fi
}

RunDemoOnce 1
RunDemoOnce 2
((failures == 0))
