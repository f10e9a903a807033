#!/usr/bin/env bash
# The control's pixels under Wine against the Linux headless rendering of the same state:
# the same frames (made here), the same size and properties, frame 0 at rest. The Linux side
# is `movitrel automate --headless` of the Linux build; the Windows side the test container in
# an ATL host, read back through PrintWindow and IViewObject2::Draw.
#   pixels.sh PREFIX CONTAINER-EXE MOVITREL WORK HOST WIDTH HEIGHT FRAME-WIDTH FRAME-HEIGHT [maximize]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 container=$2 movitrel=$3 work=$4 host=$5 width=$6 height=$7 fw=$8 fh=$9
maximize=${10:-}
python=/usr/bin/python3  # the interpreter python3-pil belongs to
if [ ! -x "$movitrel" ]; then
  echo "FAIL the Linux build's movitrel is missing ($movitrel): build it first"
  exit 1
fi
rm -rf "$work"
"$python" "$here/make-frames.py" "$work/frames" "$fw" "$fh"
maximize_json=false
[ "$maximize" = maximize ] && maximize_json=true
"$movitrel" automate --headless > "$work/linux.log" <<JSON
{"op":"create","width":$width,"height":$height}
{"op":"set","name":"Sort","value":1}
{"op":"set","name":"Maximize","value":$maximize_json}
{"op":"set","name":"Dir","value":"$work/frames"}
{"op":"wait","until":"frame","index":0,"timeout_ms":20000}
{"op":"snapshot","path":"$work/linux.png"}
JSON
"$python" -c "from PIL import Image; import sys; Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2])" \
  "$work/linux.png" "$work/linux.ppm"
winwork=$(bash "$here/wine.sh" "$prefix" winpath "$work")
bash "$here/wine.sh" "$prefix" run "$container" pixels "$host" "$width" "$height" \
  "$winwork\\frames" "$winwork\\linux.ppm" $maximize
