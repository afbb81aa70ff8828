#!/usr/bin/env bash
# The installer under Wine's msiexec, with the commands the deployment guide
# gives: a silent install puts the program in %ProgramFiles%\Wardkeep,
# registers the log-on task, sets the Autostart policy and adds the Add/Remove
# Programs entry; the installed program, started by hand, writes no Run value
# (and removes a stale one) and obeys Updates = 0; the next version's package
# replaces it in place; a silent uninstall leaves nothing the package made.
#   msi_install_test.sh WINE_RUN WARDKEEP_EXE WK_PROBE_EXE SCRATCH
set -euo pipefail
wine_run=$(realpath "$1") exe=$(realpath "$2") probe=$(realpath "$3") scratch=$(realpath -m "$4")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$repo/scripts/lib/msi.bash"
for tool in wixl msibuild faketime; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool missing (scripts/setup windows)"; exit 1; }
done

rm -rf "$scratch"
mkdir -p "$scratch"
export WARDKEEP_WINEPREFIX=$scratch/prefix
trap '"$wine_run" --stop' EXIT
"$wine_run" --start

failures=0
Fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
Wine() { "$wine_run" "$@"; }
# reg's own answer, as the guide's administrator reads it (UTF-8, CR removed).
Reg() { Wine reg "$@" 2>/dev/null | iconv -f GBK -t UTF-8 | tr -d '\r'; }
KeyExists() { Wine reg query "$1" >/dev/null 2>&1; }
Windows() { Wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }
drive_c=$WARDKEEP_WINEPREFIX/drive_c
installed=$drive_c/Program\ Files/Wardkeep
task_file=$drive_c/windows/system32/tasks/Wardkeep
policy_key='HKLM\SOFTWARE\Policies\Wardkeep'
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Wardkeep'

MsiTaskXml "$repo/packaging/wardkeep-task.xml" "$scratch/wardkeep-task.xml"
BuildMsi "$exe" "$scratch/wardkeep-task.xml" 1.0.0.1 first "$scratch/wardkeep-1.0.0.1.msi"
BuildMsi "$exe" "$scratch/wardkeep-task.xml" 1.0.1.0 second "$scratch/wardkeep-1.0.1.0.msi"
first_code=$(MsiUuid "wardkeep-product 1.0.0.1")
second_code=$(MsiUuid "wardkeep-product 1.0.1.0")

# The guide gives the commands this test runs, in both of its halves.
guide=$repo/docs/deploy.md
for command in 'msiexec /i wardkeep-<version>-win64.msi /qn /l*v' 'msiexec /x wardkeep-<version>-win64.msi /qn' \
  'reg add "HKLM\SOFTWARE\Policies\Wardkeep" /v Updates /t REG_DWORD /d 0 /f' \
  'reg query "HKLM\SOFTWARE\Policies\Wardkeep"'; do
  for version in '<version>' '<版本>'; do
    line=${command/<version>/$version}
    # One of each language: the English and the Chinese placeholder, or twice the same.
    [[ $command == *'<version>'* ]] && count=1 || count=2
    (($(grep -cF -- "$line" "$guide") >= count)) || Fail "the guide lacks: $line"
  done
done

# --- Install ------------------------------------------------------------------------
Wine msiexec /i "$(Windows "$scratch/wardkeep-1.0.0.1.msi")" /qn /l*v "$(Windows "$scratch/install.log")" ||
  Fail "msiexec /i exited with $?"
cmp -s "$exe" "$installed/wardkeep.exe" || Fail "no wardkeep.exe in C:\\Program Files\\Wardkeep"
cmp -s "$scratch/wardkeep-task.xml" "$installed/wardkeep-task.xml" || Fail "no wardkeep-task.xml beside it"
# Wine's schtasks keeps what its task service understands of the definition.
if [[ -f $task_file ]]; then
  task=$(cat "$task_file")
  for part in '<URI>\Wardkeep</URI>' '<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>' \
    '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>' '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>' \
    '<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>'; do
    [[ $task == *"$part"* ]] || Fail "the registered task lacks $part"
  done
else
  Fail "no task Wardkeep registered (schtasks /Create /XML)"
fi
# What Wine's task service does not keep, the shipped definition says.
shipped=$(iconv -f UTF-16 -t UTF-8 "$installed/wardkeep-task.xml")
for part in '<LogonTrigger>' '<GroupId>S-1-5-32-545</GroupId>' '<RunLevel>HighestAvailable</RunLevel>' \
  '<Command>"%ProgramFiles%\Wardkeep\wardkeep.exe"</Command>'; do
  [[ $shipped == *"$part"* ]] || Fail "the shipped task definition lacks $part"
done
[[ $(Reg query "$policy_key" /v Autostart) == *"Autostart    REG_SZ    task"* ]] ||
  Fail "no policy Autostart = task"
entry=$(Reg query "$uninstall_key\\$first_code")
for part in 'DisplayName    REG_SZ    Wardkeep' 'DisplayVersion    REG_SZ    1.0.0.1' 'Publisher    REG_SZ    Wardkeep'; do
  [[ $entry == *"$part"* ]] || Fail "the Add/Remove Programs entry lacks $part: $entry"
done
[[ $(Reg query "$event_key") == *'EventMessageFile    REG_SZ    C:\Program Files\Wardkeep\wardkeep.exe'* ]] ||
  Fail "no event source Wardkeep"

# --- The installed program, started by hand --------------------------------------
# A Run value left from the copy-by-hand route, and updates switched off.
Wine reg add "$run_key" /v orvWardkeep /t REG_SZ /d 'C:\old\wardkeep.exe' /f >/dev/null
Wine reg add "$policy_key" /v Updates /t REG_DWORD /d 0 /f >/dev/null
Wine 'C:\Program Files\Wardkeep\wardkeep.exe' >"$scratch/program.out" 2>/dev/null &
program=$!
if Wine "$probe" wait-hidden 60 >/dev/null; then
  # The dialog exists while its initialisation, the update run, still runs.
  for _ in {1..100}; do
    [[ -s $scratch/program.out ]] && break
    sleep 0.3
  done
  # Wine's C runtime writes a text-mode CR before each LF.
  [[ $(tr -d '\r' <"$scratch/program.out") == "管理员策略已关闭更新，不检查更新" ]] ||
    Fail "the update run did not stop at the policy: $(cat "$scratch/program.out")"
  [[ $(Reg query "$run_key") != *orvWardkeep* ]] ||
    Fail "under Autostart = task the program left a Run value: $(Reg query "$run_key")"
  Wine "$probe" escape >/dev/null || Fail "the program did not take Escape"
else
  Fail "the installed program's dialog did not come up"
fi
wait "$program" || true

# --- The next version over it --------------------------------------------------------
Wine msiexec /i "$(Windows "$scratch/wardkeep-1.0.1.0.msi")" /qn || Fail "the upgrade exited with $?"
[[ $(Reg query "$uninstall_key\\$second_code") == *'DisplayVersion    REG_SZ    1.0.1.0'* ]] ||
  Fail "no Add/Remove Programs entry for 1.0.1.0"
! KeyExists "$uninstall_key\\$first_code" || Fail "1.0.0.1 is still installed beside 1.0.1.0"
cmp -s "$exe" "$installed/wardkeep.exe" || Fail "the upgrade left no wardkeep.exe"
[[ -f $task_file ]] || Fail "the upgrade left no task"
[[ $(Reg query "$policy_key" /v Autostart) == *task* ]] || Fail "the upgrade left no Autostart policy"

# --- Uninstall ------------------------------------------------------------------------
Wine msiexec /x "$(Windows "$scratch/wardkeep-1.0.1.0.msi")" /qn || Fail "msiexec /x exited with $?"
[[ ! -e $installed ]] || Fail "C:\\Program Files\\Wardkeep is still there: $(ls "$installed")"
[[ ! -e $task_file ]] || Fail "the task is still registered"
[[ $(Reg query "$policy_key") != *Autostart* ]] || Fail "the Autostart policy is still set"
# The administrator's own value is the administrator's to remove.
[[ $(Reg query "$policy_key" /v Updates) == *Updates* ]] || Fail "the uninstall removed the administrator's Updates value"
! KeyExists "$uninstall_key\\$second_code" || Fail "the Add/Remove Programs entry is still there"
! KeyExists "$event_key" || Fail "the event source is still registered"

((failures == 0)) || exit 1
echo "installed, started, upgraded and removed"
