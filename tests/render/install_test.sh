#!/bin/sh
# The installed renderer works on its own: installed into a temporary prefix,
# copied elsewhere (so that nothing can reach back into the build tree), it
# renders the demo with the factory bank and draws the panel.
# usage: install_test.sh BUILD_DIR DEMO_MID
set -eu
build=$1 demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/share/zorva/init.fxb"
test -f "$work/prefix/share/zorva/img/knob.png"
mv "$work/prefix" "$work/moved"
cd "$work"
env -u ZORVA_RESOURCES "$work/moved/bin/zorva-render" "$demo" -o "$work/demo.wav" --quiet >"$work/summary"
# Empty programs would render silence.
if grep -q -- "-inf" "$work/summary"; then
  echo "the installed renderer rendered silence: $(cat "$work/summary")"
  exit 1
fi
env -u ZORVA_RESOURCES "$work/moved/bin/zorva-render" --screenshot "$work/panel.png"
test -s "$work/panel.png"
echo "installed renderer works: $(cat "$work/summary")"
