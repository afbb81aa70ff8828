#!/bin/sh
# Runs a command (a Windows test under Wine) in a private mount namespace where
# the host's CA bundle is a copy the test may add its own authority to; Wine
# reads its trusted roots from that bundle in every process.
#
#   in_trusting_namespace.sh command [args...]
#
# The command gets WARDKEEP_TRUSTED_BUNDLE, the copy's path. Where no such
# namespace can be made it runs all the same, with WARDKEEP_TRUSTED_BUNDLE_SKIP
# saying why, so the test reports itself skipped with the reason.
set -eu

system_bundle=/etc/ssl/certs/ca-certificates.crt

[ "$#" -gt 0 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }
reason=
if [ "$(id -u)" != 0 ]; then
  reason="not root (binding over $system_bundle needs root)"
elif ! command -v unshare >/dev/null 2>&1; then
  reason="unshare not found"
elif [ ! -f "$system_bundle" ]; then
  reason="no host CA bundle at $system_bundle"
elif ! unshare -m true 2>/dev/null; then
  reason="unshare -m refused (no CAP_SYS_ADMIN here)"
fi
if [ -n "$reason" ]; then
  WARDKEEP_TRUSTED_BUNDLE_SKIP="no trusted-bundle namespace: $reason" exec "$@"
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-bundle.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cp "$system_bundle" "$dir/ca-certificates.crt"
export WARDKEEP_TRUSTED_BUNDLE="$dir/ca-certificates.crt"
# unshare makes the namespace's mounts private: the bind is seen by the
# command and its children only.
status=0
unshare -m sh -c '
  bundle=$1 target=$2
  shift 2
  if mount --bind "$bundle" "$target"; then
    exec "$@"
  fi
  WARDKEEP_TRUSTED_BUNDLE= WARDKEEP_TRUSTED_BUNDLE_SKIP="no trusted-bundle namespace: mount --bind refused" exec "$@"
' sh "$WARDKEEP_TRUSTED_BUNDLE" "$system_bundle" "$@" || status=$?
exit "$status"
