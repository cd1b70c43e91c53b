#!/usr/bin/env bash
# Checks an installation under PREFIX (an install into a DESTDIR): every file
# is there, the desktop entries and the metainfo pass their validators, the
# manual pages render without a warning, each icon is of its folder's size.
#
#   check-installed.sh PREFIX
set -euo pipefail

prefix=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
fail() { echo "ERRORE: $*" >&2; status=1; }

while read -r file; do
    [ -f "$prefix/$file" ] || fail "manca $file"
done < <(grep -v '^#' "$here/installed-files.txt")
[ -f "$prefix/share/doc/nozioli/LICENSE" ] || fail "manca share/doc/nozioli/LICENSE"
for program in nozioli nozioli-archivio nozioli-registro; do
    [ -x "$prefix/bin/$program" ] || fail "il programma $program non è eseguibile"
done

echo "desktop-file-validate:"
for id in it.nozioli.Nozioli it.nozioli.Registro; do
    out=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1) || fail "voce del menu $id non valida"
    [ -z "$out" ] || { echo "$out"; fail "desktop-file-validate ha da ridire su $id"; }
done
echo "appstreamcli validate --no-net:"
appstreamcli validate --no-net "$prefix/share/metainfo/it.nozioli.Nozioli.metainfo.xml" || fail "metainfo non valido"

for page in nozioli nozioli-archivio nozioli-registro; do
    file="$prefix/share/man/man1/$page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || fail "man -l $page"
    [ -z "$warnings" ] || { echo "$warnings"; fail "avvisi da man per $page"; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q '^NOME' || fail "la pagina $page non ha la sezione NOME"
done

for size in 48 64 128 256; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/it.nozioli.Nozioli.png"
    file -b "$png" | grep -q "PNG image data, $size x $size," || fail "l'icona $png non è di ${size}x${size}"
done

[ "$status" -eq 0 ] && echo "installazione in ordine"
exit "$status"
