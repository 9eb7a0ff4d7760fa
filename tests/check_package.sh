#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what it holds
# and what it declares it needs.
# Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/merovik_${version}_${arch}.deb
if [[ ! -f $deb ]]; then
  echo "FAIL: no $(basename "$deb"); cpack made: $(cd "$work" && ls)" >&2
  exit 1
fi
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

# Exactly the programs, their manual pages, the desktop files and the
# package's documentation, owned by root, the programs executable.
expected="./usr/bin/merovik
./usr/bin/merovik-render
./usr/share/applications/nl.merovik.Merovik.desktop
./usr/share/doc/merovik/changelog.gz
./usr/share/doc/merovik/copyright
./usr/share/icons/hicolor/scalable/apps/merovik.svg
./usr/share/icons/hicolor/scalable/mimetypes/application-x-merovik-label.svg
./usr/share/man/man1/merovik-render.1.gz
./usr/share/man/man1/merovik.1.gz
./usr/share/metainfo/nl.merovik.Merovik.metainfo.xml
./usr/share/mime/packages/merovik.xml
./usr/share/thumbnailers/merovik.thumbnailer"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)
[[ $files == "$expected" ]] || fail "the package holds other files than expected:"$'\n'"$files"
awk '$2 != "root/root" {print; bad = 1} END {exit bad}' <<<"$listing" || fail "files not owned by root"
awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" {print; bad = 1} END {exit bad}' <<<"$listing" ||
  fail "programs not executable"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == merovik ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), not $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"

[[ $(field Maintainer) == *" <"*@*">" ]] || fail "Maintainer without a name and an address: $(field Maintainer)"
[[ $(field Recommends) == glabels-data ]] || fail "Recommends: $(field Recommends)"

depends=$(field Depends)
echo "Depends: $depends"
IFS=',' read -ra entries <<<"$depends"
entries=("${entries[@]# }")
has() {
  local entry
  for entry in "${entries[@]}"; do
    # unquoted: $1 is a pattern
    [[ $entry == $1 ]] && return 0
  done
  return 1
}
# Derived by dpkg-shlibdeps, which gives the libraries with their least versions.
for library in libc6 libstdc++6 libjpeg62-turbo libqt6core6 libqt6gui6 libqt6widgets6; do
  has "$library (>= *)" || fail "Depends lacks $library with its version"
done
# Loaded at run time, which dpkg-shlibdeps cannot see.
for package in qt6-translations-l10n libqt6svg6 qt6-image-formats-plugins fonts-liberation2; do
  has "$package" || has "$package (*)" || fail "Depends lacks $package"
done
# Every name a real package: this machine built and ran the programs, so it has them all.
for package in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u); do
  [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) == "install ok installed" ]] ||
    fail "Depends names $package, which is not an installed package here"
done

# The packaged program tells the package's version.
dpkg-deb -x "$deb" "$work/root"
shown=$(QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/merovik-render" --version 2>/dev/null)
[[ $shown == "merovik-render $version" ]] || fail "merovik-render --version printed \"$shown\""

if ((failures > 0)); then
  exit 1
fi
echo "package checked"
