#!/usr/bin/env bash
# Makes resources/aiuto.rtf, the help text shown by "? Aiuto ?", from its
# source resources/aiuto.fodt (a LibreOffice Writer document), with LibreOffice
# (Debian package libreoffice-writer-nogui).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
command -v libreoffice >/dev/null || { echo "manca libreoffice (libreoffice-writer-nogui)" >&2; exit 1; }

# A profile of its own, so that a LibreOffice already running is not disturbed.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libreoffice -env:UserInstallation="file://$work/profilo" --headless \
    --convert-to rtf --outdir "$work" "$root/resources/aiuto.fodt" >/dev/null 2>&1
[ -s "$work/aiuto.rtf" ] || { echo "conversione non riuscita" >&2; exit 1; }
mv "$work/aiuto.rtf" "$root/resources/aiuto.rtf"
echo "scritto $root/resources/aiuto.rtf"
