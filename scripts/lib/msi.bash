# The Windows Installer package, shared by scripts/release and the test that
# installs it under Wine. Needs wixl and msitools (msibuild), and faketime.
#
#   MsiTaskXml SOURCE OUT
#     the task's XML as schtasks reads it: UTF-16 little-endian with a BOM
#   BuildMsi EXE TASK_XML VERSION COMMIT OUT.msi
#     wardkeep.exe and the task's XML (as MsiTaskXml wrote it) packaged for
#     %ProgramFiles%\Wardkeep; VERSION a.b.c.d (Windows Installer compares only
#     a.b.c when it decides what is newer), COMMIT names the build. The WiX
#     source is packaging/wardkeep.wxs beside this script, or $MSI_SOURCE.
#     The publisher Add/Remove Programs shows is $WARDKEEP_MSI_MANUFACTURER
#     (default Wardkeep).
#
# The same inputs give the same bytes: wixl stamps its package with the clock
# and a random package code, so it runs on a frozen clock (SOURCE_DATE_EPOCH,
# else the commit's time) and the package code is then set to one derived
# from what the package holds.

# A name-based UUID (SHA-1, RFC 4122 version 5 layout) in braces, upper case.
MsiUuid() { # text
  local hex
  hex=$(printf '%s' "$1" | sha1sum | cut -c1-32)
  local variant=$(((16#${hex:16:1} & 3) | 8))
  hex=${hex:0:12}5${hex:13:3}$(printf '%x' "$variant")${hex:17:15}
  hex=${hex^^}
  echo "{${hex:0:8}-${hex:8:4}-${hex:12:4}-${hex:16:4}-${hex:20:12}}"
}

MsiTaskXml() { # source out
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$1"; } >"$2"
}

BuildMsi() { # exe task_xml version commit out
  local exe=$1 task=$2 version=$3 commit=$4 out=$5
  local manufacturer=${WARDKEEP_MSI_MANUFACTURER:-Wardkeep}
  local source=${MSI_SOURCE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../../packaging" && pwd)/wardkeep.wxs}
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
    echo "msi: version $version is not a.b.c.d" >&2
    return 1
  }
  local epoch=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$source")" log -1 --format=%ct HEAD)}
  local frozen
  frozen=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
  # Another version is another product to Windows Installer, which removes
  # the older one while it installs the newer. Two builds of one version are
  # the same product: the second is refused while the first is installed
  # (1638), rather than both being installed side by side.
  local product_code contents
  product_code=$(MsiUuid "wardkeep-product $version")
  contents=$(cat "$exe" "$task" "$source" | sha256sum | cut -c1-64)
  # wixl finds the files it packages only by names relative to where it runs.
  local stage
  stage=$(mktemp -d "${TMPDIR:-/tmp}/wardkeep-msi.XXXXXX")
  cp "$exe" "$stage/wardkeep.exe"
  cp "$task" "$stage/wardkeep-task.xml"
  cp "$source" "$stage/wardkeep.wxs"
  # The cabinet records each file's time.
  touch -d "@$epoch" "$stage"/*
  out=$(realpath -m "$out")
  local log=$stage/wixl.log status=0
  # i0: the clock does not move, so every time stamp in the package is the same.
  (cd "$stage" && TZ=UTC faketime -f "@$frozen i0" wixl -a x64 -o "$out" \
    -D Version="$version" -D ProductCode="$product_code" -D Manufacturer="$manufacturer" \
    -D Program=wardkeep.exe -D TaskXml=wardkeep-task.xml wardkeep.wxs) >"$log" 2>&1 || status=$?
  # wixl warns through GLib; any warning or assertion means a table went wrong.
  if ((status != 0)) || grep -qE 'WARNING|CRITICAL' "$log"; then
    cat "$log" >&2
    rm -rf "$stage"
    return 1
  fi
  rm -rf "$stage"
  TZ=UTC faketime -f "@$frozen i0" msibuild "$out" \
    -s "Wardkeep $version" "$manufacturer" "x64;1033" "$(MsiUuid "wardkeep-package $version $commit $contents")" ||
    return 1
}
