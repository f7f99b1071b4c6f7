#!/bin/sh
# Regenerates resources/figure1.jpg … figure4.jpg from the map data and the
# climate normals.  Needs Node.js with npm, Debian's python3-matplotlib,
# python3-pil, python3-numpy, fonts-ipafont-gothic, python-cartopy-data (for
# the lake shorelines) and gmt with gmt-gshhg-high (for the rivers).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

lakes=/usr/share/cartopy/data/shapefiles/gshhs/l/GSHHS_l_L2.shp
if [ -z "${GSHHS_LAKES:-}" ] && [ ! -f "$lakes" ]; then
    echo "make_figures.sh: $lakes is missing: apt-get install python-cartopy-data" >&2
    exit 1
fi

if ! command -v gmt >/dev/null; then
    echo "make_figures.sh: gmt is missing: apt-get install gmt gmt-gshhg-high" >&2
    exit 1
fi

cd "$here"
npm ci --no-audit --no-fund --loglevel=error

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The major rivers of Europe (WDBII level 1) at GSHHG's intermediate
# resolution, for figure 4; level 1 has almost none in Iberia and southern
# France, so the next level (2) is added there: the Tagus, the Guadalquivir,
# the Ebro, the Garonne, the Rhône and their neighbours.
(cd "$tmp" && { gmt coast -R-30/70/25/75 -Di -I1 -M; gmt coast -R-10/8/35/46 -Di -I2 -M; } > rivers.txt)
node project_maps.mjs "$tmp" "$tmp/rivers.txt"
/usr/bin/python3 draw_figures.py "$tmp" "$root/resources"
