#!/usr/bin/env bash
# The deployment guide's table of the lines the update run prints, against the
# code, both ways:
#  - every line the guide lists is in src/: its text up to the first "…" begins a
#    wide string literal there, and every other fixed part of it is in src/ too;
#  - every line src/upgrade/*.cpp prints (the literals handed to Say and
#    os::WriteProgressLine) is in the guide: a literal that begins a line is the
#    start of a listed line, one that continues a line is part of one;
#  - the Chinese and the English half list the same lines in the same order.
# The table sits between "<!-- progress-lines -->" and "<!-- /progress-lines -->",
# one line to a row, the line in the row's first cell in backticks, "…" for each
# part that varies.
#   guide_messages_test.sh REPO
set -euo pipefail
repo=$(cd "$1" && pwd)
guide=$repo/docs/deploy.md
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-guide-messages.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The lines each table lists, one file per table, in order.
awk -v dir="$scratch" '
  /<!-- progress-lines -->/ { table++; inside = 1; next }
  /<!-- \/progress-lines -->/ { inside = 0; next }
  inside && /^\| *`/ {
    line = $0
    sub(/^\| *`/, "", line)
    sub(/`.*$/, "", line)
    print line > (dir "/table" table)
  }' "$guide"
tables=("$scratch"/table*)
if [[ ${#tables[@]} -ne 2 || ! -s ${tables[0]} ]]; then
  echo "FAILED: $guide needs two progress-line tables (Chinese and English), found ${#tables[@]}"
  exit 1
fi
failures=0
if ! diff -u --label Chinese --label English "${tables[0]}" "${tables[1]}"; then
  echo "FAILED: the two halves list different lines (above)"
  failures=$((failures + 1))
fi
listed=${tables[0]}

# Guide -> code.
while IFS= read -r line; do
  first=${line%%…*}
  if [[ -n $first ]] && ! grep -rqF -- "L\"$first" "$repo/src"; then
    echo "FAILED: listed in the guide, no literal in src/ begins with it: $line"
    failures=$((failures + 1))
    continue
  fi
  rest=$line
  while [[ $rest == *…* ]]; do
    rest=${rest#*…}
    part=${rest%%…*}
    if [[ -n $part ]] && ! grep -rqF -- "$part" "$repo/src"; then
      echo "FAILED: listed in the guide, \"$part\" is nowhere in src/: $line"
      failures=$((failures + 1))
    fi
  done
done <"$listed"

# Code -> guide. Each print call, read across line breaks up to its ");".
for source in "$repo"/src/upgrade/*.cpp; do
  tr '\n' ' ' <"$source" |
    { grep -oE '(\<Say|WriteProgressLine)\([^;]*\);' || true; } |
    { grep -oE '(\(|\?|:|\+)[[:space:]]*L"([^"\\]|\\.)*"' || true; } |
    sed -E 's/^(.)[[:space:]]*L"(.*)"$/\1\t\2/; s/\\n$//' |
    while IFS=$'\t' read -r before text; do
      [[ -n $text ]] || continue
      if [[ $before == + ]]; then
        grep -qF -- "$text" "$listed" && continue
        echo "FAILED: $(basename "$source") prints \"…$text\", which no line in the guide has"
      else
        awk -v text="$text" 'index($0, text) == 1 { found = 1 } END { exit !found }' "$listed" && continue
        echo "FAILED: $(basename "$source") prints \"$text…\", which the guide does not list"
      fi
    done
done | sort -u >"$scratch/missing"
if [[ -s $scratch/missing ]]; then
  cat "$scratch/missing"
  failures=$((failures + $(wc -l <"$scratch/missing")))
fi

if ((failures)); then
  echo "$failures failure(s): docs/deploy.md's progress-line tables and src/ disagree"
  exit 1
fi
echo "$(wc -l <"$listed") lines listed in both halves, every one in src/, every printed one listed"
