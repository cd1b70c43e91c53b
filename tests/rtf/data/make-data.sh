#!/usr/bin/env bash
# Makes the word-processor files the reader's tests read, from documento.fodt
# (a LibreOffice Writer document; its picture is giglio.svg, rasterised to a
# 48 x 32 PNG and embedded). Needs libreoffice-writer-nogui and pandoc.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
office() {
    libreoffice -env:UserInstallation="file://$work/profilo" --headless "$@" >/dev/null 2>&1
}

office --convert-to rtf --outdir "$work" "$here/documento.fodt"
mv "$work/documento.rtf" "$here/documento-libreoffice.rtf"

# pandoc reads the packed format, so LibreOffice packs the document first.
office --convert-to odt --outdir "$work" "$here/documento.fodt"
pandoc -s -t rtf "$work/documento.odt" -o "$here/documento-pandoc.rtf"
echo "scritti documento-libreoffice.rtf e documento-pandoc.rtf"
