#!/usr/bin/env bash
# Renders the program's icon, packaging/icons/it.nozioli.Nozioli.svg, to the
# PNG sizes that are installed beside it (48, 64, 128 and 256 pixels).
#
#   scripts/make-icons.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/common.sh"
install_missing librsvg2-bin

icons="$root/packaging/icons"
for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" -o "$icons/it.nozioli.Nozioli-$size.png" "$icons/it.nozioli.Nozioli.svg"
    echo "scritto $icons/it.nozioli.Nozioli-$size.png"
done
