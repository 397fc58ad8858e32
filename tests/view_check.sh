#!/bin/sh
# view_check.sh MAKE_SAMPLE_AREA WEDMORPH_VIEW PYTHON SOURCE_DIR WORK_DIR:
# writes a small sample area, draws it, and has Python decode the picture.
set -e
mkdir -p "$5"
"$1" --dir "$5" --name AR0001 --width 5 --height 3 --seed 9
"$2" "$5/AR0001.wed" "$5/AR0001.tis" "$5/AR0001.png"
"$3" "$4/png_check.py" "$5/AR0001.png" "$5/AR0001.wed" "$5/AR0001.tis"
