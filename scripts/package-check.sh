#!/usr/bin/env bash
# Builds the installed programs in the `package` preset (Release, no tests), installs
# them into a temporary DESTDIR and checks every file the installation adds; then
# builds the Debian package and checks what it holds against that installation.
#   scripts/package-check.sh      (CI runs it after scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset package
cmake --build --preset package

build=build/package
version=$(sed -n 's/^project(Morvex VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
[ -n "$version" ] || { echo "package-check: no version in CMakeLists.txt" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
failures=0
pass() { echo "ok   $*"; }
bad() { echo "FAIL $*" >&2; failures=$((failures + 1)); }

DESTDIR="$stage" cmake --install "$build" >"$work/install.log"
usr="$stage/usr"

# Every file the installation is expected to add.
expected=(
  bin/morvex bin/morvex-cli
  share/applications/morvex.desktop
  share/mime/packages/morvex.xml
  share/metainfo/com.vantoro.morvex.metainfo.xml
  share/man/man1/morvex.1.gz share/man/man1/morvex-cli.1.gz
  share/icons/hicolor/scalable/apps/morvex.svg
)
for s in 16 22 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${s}x${s}/apps/morvex.png"); done
for f in "${expected[@]}"; do
  [ -s "$usr/$f" ] || bad "installed: /usr/$f is missing or empty"
done
for s in 16 48 256; do
  dims=$(file -b "$usr/share/icons/hicolor/${s}x${s}/apps/morvex.png" | grep -o '[0-9]* x [0-9]*' || true)
  [ "$dims" = "$s x $s" ] || bad "icon ${s}x${s} is $dims"
done
pass "installed files present (${#expected[@]})"

# The install manifest lists exactly what was installed.
sed "s#^$stage##" "$build/install_manifest.txt" | sort >"$work/manifest"
(cd "$stage" && find . -type f -o -type l) | sed 's#^\.##' | sort >"$work/installed"
if diff -u "$work/manifest" "$work/installed" >"$work/manifest.diff"; then
  pass "install manifest lists all $(wc -l <"$work/installed") installed files"
else
  bad "install manifest differs from the installed files:"; cat "$work/manifest.diff" >&2
fi

desktop-file-validate "$usr/share/applications/morvex.desktop" && pass "desktop-file-validate" || bad "desktop-file-validate"

meta="$usr/share/metainfo/com.vantoro.morvex.metainfo.xml"
appstreamcli validate --no-net --strict "$meta" >"$work/as.log" 2>&1 && pass "appstreamcli validate" \
  || { bad "appstreamcli validate"; cat "$work/as.log" >&2; }
grep -q "<release version=\"$version\"" "$meta" && pass "metainfo release $version" || bad "metainfo has no release $version"

mime="$usr/share/mime/packages/morvex.xml"
xmllint --noout "$mime" && pass "xmllint on the MIME package" || bad "xmllint on the MIME package"
mkdir -p "$work/mime/packages" && cp "$mime" "$work/mime/packages/"
if XDG_DATA_DIRS="$work:/usr/share" update-mime-database "$work/mime" >"$work/mime.log" 2>&1 && ! grep -q . "$work/mime.log" \
   && grep -qx '50:application/x-bd-movie-info:\*\.bdmv' "$work/mime/globs2" \
   && grep -qx '50:application/x-bd-igs-menu:\*\.mnu' "$work/mime/globs2"; then
  pass "update-mime-database maps *.bdmv and *.mnu"
else
  bad "update-mime-database on the MIME package"; cat "$work/mime.log" "$work/mime/globs2" >&2 || true
fi

export MANWIDTH=100
for page in morvex morvex-cli; do
  f="$usr/share/man/man1/$page.1.gz"
  if man --warnings -l "$f" >"$work/$page.txt" 2>"$work/$page.warn" && ! grep -q . "$work/$page.warn" \
     && grep -q "Morvex $version" "$work/$page.txt"; then
    pass "man -l $page renders (version $version)"
  else
    bad "man -l $page"; cat "$work/$page.warn" >&2
  fi
done
# Every subcommand the program lists has its section in the rendered page.
for sub in $("$usr/bin/morvex-cli" --help | sed -n '/^[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:$/,/^$/s/^  \([a-z][a-z0-9-]*\).*/\1/p'); do
  grep -qE "^   $sub( |$)" "$work/morvex-cli.txt" || bad "man page of morvex-cli has no section for '$sub'"
done

got=$("$usr/bin/morvex-cli" --version)
[ "$got" = "morvex-cli $version" ] && pass "morvex-cli --version: $got" || bad "morvex-cli --version printed '$got'"

# The Debian package.
rm -f "$build"/morvex_*.deb
cpack --preset package >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
deb="$build/morvex_${version}_${arch}.deb"
if [ -f "$deb" ]; then pass "package $(basename "$deb"), $(stat -c %s "$deb") bytes"; else bad "no $deb"; ls "$build" >&2; exit 1; fi
dpkg-deb --info "$deb" >"$work/info"
sed -n 's/^ \(Package\|Version\|Architecture\|Installed-Size\|Depends\): /  \1: /p' "$work/info"
grep -qx " Version: $version" "$work/info" || bad "package version is not $version"
depends=$(sed -n 's/^ Depends: //p' "$work/info")
# Computed from the programs' own libraries (zlib comes in through libpng's package).
for lib in libc6 libstdc++6 libpng16-16 libqt6widgets6 libqt6multimedia6; do
  grep -qE "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends" || bad "Depends lacks $lib: $depends"
done
# Menu labels need the font libraries, once a program sets labels (the linker keeps only
# the libraries a program uses).
needed=$(objdump -p "$usr/bin/morvex-cli" "$usr/bin/morvex")
if grep -q 'NEEDED *libfreetype' <<<"$needed"; then
  for lib in libfreetype6 libharfbuzz0b libfontconfig1; do
    grep -qE "(^|, )${lib}( |,|$)" <<<"$depends" || bad "Depends lacks $lib: $depends"
  done
fi
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's#^\.##' | grep -v '/$' | sort >"$work/deb-files"
if diff -u "$work/installed" "$work/deb-files" >"$work/deb.diff"; then
  pass "package holds the $(wc -l <"$work/deb-files") installed files"
else
  bad "package contents differ from the installation:"; cat "$work/deb.diff" >&2
fi

if [ "$failures" -ne 0 ]; then
  echo "package-check: $failures check(s) failed" >&2
  exit 1
fi
echo "package-check: all checks passed"
