#!/usr/bin/env bash
# Real-time factor of zorva-render, as its own summary reports it: the demo
# song, then 60 s of 64 held voices of the heavy patch.
#   bench/render_rtf.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "demo:"
"$build/apps/zorva-render" "$here/resources/demo.mid" -o "$tmp/demo.wav" --quiet

"$build/bench/make-held-notes" 64 60 "$tmp/held.mid"
echo "64 held voices, heavy patch, 60 s:"
"$build/apps/zorva-render" "$tmp/held.mid" -o "$tmp/held.wav" --quiet --init --length 60 \
  --set Voices=64 --set "Mode 1=Bandpass" --set "Reso 1=0.7" --set "Mode 2=Lowpass" --set "Reso 2=0.9" \
  --set "Flt1 In2=0.5" --set "Amp Flt1=1" --set "Ring In1=0.3" --set "Ring In2=0.3" \
  --set "NoiseIn1=0.1" --set "NoiseIn2=0.1" --set "Sync 2=Hard" \
  --set "FM1Amt 1=0.3" --set "FM1Src 1=LFO1" --set "FM1Amt 2=0.3" --set "FM1Src 2=LFO1" \
  --set "CF1Amt 1=1" --set "CF1Src 1=Env3" --set "CF1Amt 2=1" --set "CF1Src 2=Env3" \
  --set "Env 3 D=0.4" --set "Env 3 S=0.3" --set "CutFrq 1=0.6" --set "CutFrq 2=0.7"
