#!/usr/bin/env bash
# Builds the Debian package of Nozioli with CPack and checks it: its contents
# list holds every installed file, its dependencies name Qt's libraries and
# what Qt loads at run time, and lintian finds no error.
#
#   scripts/package.sh [BUILD]    the build folder, build/ by default
#
# The package is left in BUILD/package/nozioli_VERSION_ARCH.deb, with the
# lintian report beside it (lintian.txt).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
. "$root/scripts/common.sh"
install_missing "${build_packages[@]}" "${package_packages[@]}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING >/dev/null
fi
build=$(cd "$build" && pwd)
build_quietly "$build"

out="$build/package"
rm -rf "$out"
mkdir -p "$out"
if ! (cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out") > "$out/cpack.log" 2>&1; then
    cat "$out/cpack.log" >&2
    echo "Il pacchetto non è stato creato (registro: $out/cpack.log)." >&2
    exit 1
fi
deb=$(ls "$out"/nozioli_*.deb)
echo "pacchetto: $deb"

status=0
fail() { echo "ERRORE: $*" >&2; status=1; }

dpkg-deb -c "$deb" | awk '{print $6}' > "$out/contents.txt"
while read -r file; do
    grep -qx "\./usr/$file" "$out/contents.txt" || fail "nel pacchetto manca /usr/$file"
done < <(grep -v '^#' "$root/tests/install/installed-files.txt"; printf '%s\n' share/doc/nozioli/copyright share/doc/nozioli/changelog.gz)
echo "contenuto: $(grep -vc '/$' "$out/contents.txt") file"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6core6 libqt6widgets6 libqt6sql6 libqt6charts6 libqt6sql6-sqlite libqt6sql6-psql qt6-qpa-plugins qt6-translations-l10n fonts-liberation; do
    grep -qE "(^|, )$dep( |,|$)" <<< "$depends" || fail "il pacchetto non dipende da $dep"
done

echo "lintian:"
if ! lintian --fail-on error --display-info "$deb" > "$out/lintian.txt" 2>&1; then
    fail "lintian ha trovato errori"
fi
cat "$out/lintian.txt"

[ "$status" -eq 0 ] && echo "pacchetto in ordine"
exit "$status"
