#!/bin/sh
# view_check.sh MAKE_SAMPLE_AREA WEDMORPH_VIEW PYTHON SOURCE_DIR WORK_DIR WEDMORPH:
# writes a small sample area with its water tileset, converts it, draws it
# plain and with its water before and after, and has Python decode each
# picture and check every pixel.
set -e
rm -rf "$5"
mkdir -p "$5"
"$1" --dir "$5" --name AR0001 --width 5 --height 3 --seed 9 --overlay 60
cp "$6" "$5/"
"$5/$(basename "$6")" -s AR0001 AR0002
"$2" "$5/AR0001.wed" "$5/AR0001.tis" "$5/AR0001.png"
"$3" "$4/png_check.py" "$5/AR0001.png" "$5/AR0001.wed" "$5/AR0001.tis"
for area in AR0001 AR0002; do
  "$2" --overlay "$5/$area.wed" "$5/$area.tis" "$5/$area-water.png"
  "$3" "$4/png_check.py" --overlay "$5/$area-water.png" "$5/$area.wed" "$5/$area.tis"
done
