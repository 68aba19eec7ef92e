#!/bin/sh
# A real host: jalv runs the bundle for a few seconds against a JACK dummy
# server of this test's own, takes a port change on its console, and quits
# cleanly without a word of complaint.
set -u
jack_name="zorvatest$$"
export JACK_DEFAULT_SERVER="$jack_name"
out=$(mktemp -d)
jackd -n "$jack_name" -d dummy -r 44100 -p 256 >"$out/jackd.log" 2>&1 &
jackd_pid=$!
trap 'kill $jackd_pid 2>/dev/null; wait $jackd_pid 2>/dev/null; rm -rf "$out"' EXIT

if ! jack_wait -w -t 10 >/dev/null; then
  echo "the JACK dummy server did not start:"; cat "$out/jackd.log"; exit 1
fi
(sleep 2; echo "cutfrq_1 = 0.3"; sleep 2) | timeout 20 jalv -n zorva-smoke -c voices=3 urn:tamsodyne:zorva \
  >"$out/jalv.log" 2>&1
status=$?
cat "$out/jalv.log"
if [ $status -ne 0 ]; then echo "jalv exited with status $status"; exit 1; fi
grep -q "Block length: 256" "$out/jalv.log" || { echo "jalv never ran the plug-in"; exit 1; }
if grep -i -E "error|fail|cannot|not found|warning" "$out/jalv.log"; then echo "jalv or the plug-in complained"; exit 1; fi
exit 0
