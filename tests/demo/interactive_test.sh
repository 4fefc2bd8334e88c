#!/bin/bash
# interactive_test.sh OARGALA SOURCE_DIR: the real program in a window on an
# Xvfb of its own, on the show's data/ folder, SDL's disk audio driver writing
# what would reach the sound card to a file: the soundtrack must really play
# while the loading scene shows, and Escape end the show with exit code 0.
set -u
oargala=$(realpath "$1")
tmp=$(mktemp -d /tmp/oargala-interactive.XXXXXX)
xvfb="" show=""
trap '[ -n "$show" ] && kill -KILL $show 2>/dev/null; [ -n "$xvfb" ] && kill $xvfb; wait; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; tail -n 20 "$tmp/err" "$tmp/xvfb.log" 2>/dev/null; exit 1; }
# waits SECONDS CONDITION: polls until it holds (generous: this is not a speed test).
waits() { local end=$((SECONDS + $1)); until eval "$2"; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done; }

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
waits 60 'grep -qs . "$tmp/display"' || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$tmp/display")

(cd "$2" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio.raw" exec "$oargala" --windowed) >/dev/null 2>"$tmp/err" &
show=$!
running() { kill -0 $show 2>/dev/null; }
# A sample louder than 256 of 32767.
loud() { od -An -v -td2 -w2 "$tmp/audio.raw" 2>/dev/null | awk '$1 > 256 || $1 < -256 { f = 1; exit } END { exit !f }'; }
waits 120 'loud || ! running' && running || fail "no sound was written while the show ran"
# The key goes to the window once it is shown: a window still hidden would
# lose it. The window is gone before the key is released: xdotool complains.
shown() { xdotool search --onlyvisible --name "Oar Gala" >/dev/null 2>&1; }
waits 120 'shown || ! running' && running || fail "no window was shown"
xdotool search --onlyvisible --name "Oar Gala" key Escape 2>/dev/null
waits 120 '! running' || fail "Escape did not end the show"
wait $show
code=$? show=""
[ $code = 0 ] || fail "the show ended with exit code $code"
echo "ok: the soundtrack played, Escape ended the show with exit code 0"
