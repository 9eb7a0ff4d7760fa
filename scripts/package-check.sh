#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a
# distribution would: lintian with no errors and no warnings, the AppStream
# metadata and the menu entry valid, the manual pages without formatting
# warnings.
# Usage: package-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail

build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "package-check: cpack did not build the package" >&2
  exit 1
fi
debs=("$work"/*.deb)
deb=${debs[0]}
echo "package-check: $(basename "$deb")"

failures=0
# Information tags are shown but do not fail the check.
echo "--- lintian"
if ! lintian --display-info --fail-on error,warning "$deb"; then
  failures=$((failures + 1))
fi

dpkg-deb -x "$deb" "$work/root"
echo "--- appstreamcli validate"
for metainfo in "$work"/root/usr/share/metainfo/*.metainfo.xml; do
  appstreamcli validate --no-net "$metainfo" || failures=$((failures + 1))
done
echo "--- desktop-file-validate"
for entry in "$work"/root/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" && echo "$(basename "$entry"): valid" || failures=$((failures + 1))
done
echo "--- man"
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [[ -n $warnings ]]; then
    echo "$warnings"
    failures=$((failures + 1))
  else
    echo "$(basename "$page"): no warnings"
  fi
done

if ((failures > 0)); then
  echo "package-check: $failures check(s) failed" >&2
  exit 1
fi
echo "package-check: passed"
