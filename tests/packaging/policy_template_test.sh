#!/usr/bin/env bash
# The Group Policy template sets the values the program reads, where it reads
# them, and every text it names is in both languages' resource files.
#   policy_template_test.sh REPO
set -euo pipefail
repo=$(cd "$1" && pwd)
admx=$repo/packaging/admx/wardkeep.admx
failures=0
Fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Every policy writes one value under the key the Windows backend reads.
key=$(sed -n 's/^constexpr const wchar_t\* kPolicyKey = L"\(.*\)";$/\1/p' "$repo/src/os/win32/policy.cpp" |
  sed 's/\\\\/\\/g')
[[ -n $key ]] || Fail "no kPolicyKey in src/os/win32/policy.cpp"
mapfile -t keys < <(grep -o 'key="[^"]*"' "$admx" | sed 's/key="\(.*\)"/\1/' | sort -u)
[[ ${#keys[@]} -eq 1 && ${keys[0]} == "$key" ]] || Fail "the template writes under ${keys[*]}, the program reads $key"
# ... and the values are the ones the program asks for.
for value in Autostart Updates; do
  grep -q "valueName=\"$value\"" "$admx" || Fail "the template sets no $value"
  grep -rqF "L\"$value\"" "$repo/src" || Fail "the program reads no $value"
done
grep -q '<string>task</string>' "$admx" || Fail "Autostart's enabled value is not task"
grep -q '<decimal value="0"/>' "$admx" || Fail "no policy sets Updates to 0"

# Every text the template names, in every language.
mapfile -t ids < <(grep -o '\$(string\.[A-Za-z_]*)' "$admx" | sed 's/\$(string\.\(.*\))/\1/' | sort -u)
((${#ids[@]} > 0)) || Fail "the template names no texts"
for adml in "$repo"/packaging/admx/{en-US,zh-CN}/wardkeep.adml; do
  for id in "${ids[@]}"; do
    grep -q "<string id=\"$id\">" "$adml" || Fail "$(basename "$(dirname "$adml")") has no text $id"
  done
done

((failures == 0)) || exit 1
echo "${#ids[@]} texts in two languages; the template sets Autostart and Updates under $key"
