#!/bin/sh
# The renderer's edges, end to end: a broken TMPDIR, inputs that are not
# files, missing resources, out-of-range settings, and an interrupted render.
# usage: cli_edges.sh ZORVA_RENDER SHARE_DIR DEMO_MID
set -u
render=$1 share=$2 demo=$3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect STATUS TEXT command...: the exit status and a fragment of stderr
expect() {
  want=$1 text=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  got=$?
  [ "$got" -eq "$want" ] || fail "$*: exit $got, not $want: $(cat "$work/err")"
  grep -q -- "$text" "$work/err" "$work/out" || fail "$*: no \"$text\" in: $(cat "$work/err")"
}
export ZORVA_RESOURCES="$share"
mkdir "$work/tmp"

expect 0 rendered env TMPDIR=/nonexistent/folder "$render" "$demo" -o "$work/a.wav" --length 0.2
mkfifo "$work/fifo.mid"
expect 3 "not a regular file" timeout 10 "$render" "$work/fifo.mid" -o "$work/a.wav"
expect 3 "is a folder" "$render" "$work" -o "$work/a.wav"
expect 0 rendered sh -c 'cat "$1" | "$2" - -o "$3" --length 0.2' sh "$demo" "$render" "$work/a.wav"
expect 2 "from 0 to 2" "$render" "$demo" -o "$work/a.wav" --set Volume=5
expect 2 'choose one of' "$render" "$demo" -o "$work/a.wav" --set Voices=17

mkdir "$work/empty" "$work/bank-only"
cp "$share/init.fxb" "$work/bank-only/"
expect 3 "init.fxb" env ZORVA_RESOURCES="$work/empty" "$render" "$demo" -o "$work/a.wav"
expect 1 "artwork" env ZORVA_RESOURCES="$work/bank-only" "$render" --screenshot "$work/a.png"
[ -e "$work/a.png" ] && fail "a screenshot without artwork was written"

# Interrupted half-way: the old output stays, no temporary or private folder is left.
echo old >"$work/long.wav"
# A script's background job starts with SIGINT ignored: restore it, as a terminal has it.
env --default-signal=INT TMPDIR="$work/tmp" "$render" "$demo" -o "$work/long.wav" --length 3000 --quiet 2>/dev/null &
pid=$!
n=0
while [ -z "$(find "$work" -maxdepth 1 -name '.long.wav.*' -size +100k)" ] && [ $n -lt 200 ]; do
  sleep 0.05
  n=$((n + 1))
done
kill -INT $pid
wait $pid
status=$?
[ $status -eq 130 ] || fail "interrupted render: exit $status, not 130 (SIGINT)"
[ "$(cat "$work/long.wav")" = old ] || fail "interrupted render replaced the old output"
[ -z "$(find "$work" -maxdepth 1 -name '.long.wav.*')" ] || fail "interrupted render left its temporary"
[ -z "$(ls -A "$work/tmp")" ] || fail "interrupted render left its private folder: $(ls "$work/tmp")"

[ $failures -eq 0 ] && echo "all renderer edges hold"
exit $failures
