#!/usr/bin/env bash
# What the version resource will say, as cmake/version_resource.cmake decides it
# from the build's settings: the JAR-signing key's fingerprint is the first 16 hex
# digits of the SHA-256 of its 32 raw bytes (as openssl computes it here), "none"
# without a key, one fingerprint for each key of a list; a key that is not Base64
# of 32 bytes, or is a point of small order, stops the configuration. A build
# without an update server says "none".
#   version_resource_test.sh REPO
set -euo pipefail
repo=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-version-resource-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

openssl genpkey -algorithm ed25519 -out "$scratch/key.pem"
openssl pkey -in "$scratch/key.pem" -pubout -outform DER | tail -c 32 >"$scratch/key.raw"
key=$(base64 -w0 <"$scratch/key.raw")
fingerprint=$(sha256sum <"$scratch/key.raw" | cut -c1-16)
short_key=$(head -c 31 "$scratch/key.raw" | base64 -w0)
openssl genpkey -algorithm ed25519 -out "$scratch/next.pem"
openssl pkey -in "$scratch/next.pem" -pubout -outform DER | tail -c 32 >"$scratch/next.raw"
next_key=$(base64 -w0 <"$scratch/next.raw")
next_fingerprint=$(sha256sum <"$scratch/next.raw" | cut -c1-16)
server=https://updates.example.com:2406

failures=0
Generate() { # key [server]; prints the header's JAR-signing text, fails when cmake refuses
  rm -rf "$scratch/build"
  mkdir -p "$scratch/build"
  # In script mode the binary directory is the working directory.
  (cd "$scratch/build" && cmake -DWARDKEEP_VERSION=2.3.4.5 \
    -DWARDKEEP_COMMIT=0123abcd -DWARDKEEP_UPDATE_SERVER_URL="${2-$server}" \
    -DWARDKEEP_JAR_SIGNING_KEY="$1" -P "$repo/cmake/version_resource.cmake") >"$scratch/cmake.log" 2>&1 ||
    return 1
  [[ ! -e $scratch/build/generated/res/jar_signing_key.bin ]] || { echo "(key bytes left behind)"; return 1; }
  sed -n 's/^#define WARDKEEP_JAR_SIGNING_TEXT "\(.*\)"$/\1/p' "$scratch/build/generated/res/version.h"
}
Row() { # description key expected ("refused" when cmake must stop)
  local got
  if got=$(Generate "$2"); then :; else got=refused; fi
  if [[ $got == "$3" ]]; then
    echo "ok: $1"
  else
    echo "FAILED: $1: got \"$got\", expected \"$3\""
    failures=$((failures + 1))
  fi
}

Row "no key" "" "none"
Row "an Ed25519 public key" "$key" "Ed25519, SHA-256 $fingerprint"
Row "31 bytes" "$short_key" refused
Row "not Base64" "not*base64*at*all*but*44*characters*long*xx" refused
Row "two keys, while one replaces the other" "$key,$next_key" "Ed25519, SHA-256 $fingerprint $next_fingerprint"
Row "two keys by semicolon" "$key;$next_key" "Ed25519, SHA-256 $fingerprint $next_fingerprint"
Row "an empty entry" "$key," refused
while read -r weak; do
  Row "the small-order point $weak" "$weak" refused
  Row "a small-order point after a key" "$key,$weak" refused
done < <(grep -v '^#' "$repo/cmake/ed25519_small_order_keys.txt")

# Without an update server.
Generate "" none >/dev/null
grep -qxF '#define WARDKEEP_UPDATE_SERVER_TEXT "none"' "$scratch/build/generated/res/version.h" ||
  { echo "FAILED: a build without a server does not say none"; failures=$((failures + 1)); }

# The other texts of a build with a key.
Generate "$key" >/dev/null
header=$scratch/build/generated/res/version.h
for line in '#define WARDKEEP_VERSION_NUMBERS 2,3,4,5' \
  '#define WARDKEEP_PRODUCT_VERSION_TEXT "2.3.4.5, commit 0123abcd"' \
  '#define WARDKEEP_UPDATE_SERVER_TEXT "https://updates.example.com:2406"' \
  "  \"wardkeep, update server https://updates.example.com:2406, JAR signing key: Ed25519, SHA-256 $fingerprint\""; do
  grep -qxF -- "$line" "$header" || { echo "FAILED: no line $line"; failures=$((failures + 1)); }
done
((failures == 0)) || { cat "$header"; exit 1; }
echo "version resource texts as the build decides them"
