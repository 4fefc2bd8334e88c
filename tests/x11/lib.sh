# lib.sh: what the X tests share: a private X server on a display number it picks itself, oargala
# started on it from SOURCE_DIR, waits that give up as soon as the program has ended, message boxes
# dismissed as they come, cleanup however the script ends. The sourcing script sets OARGALA, X11_TOOL
# and SOURCE_DIR, then calls start_server xvfb|xorg|xorg-wide (xorg: a 1024x768 desktop; xorg-wide:
# 1280x720, which can switch to 800x600 and 640x480).
set -u

X11_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
OARGALA=$(realpath "$OARGALA")
X11_TOOL=$(realpath "$X11_TOOL")
TMP=$(mktemp -d /tmp/oargala-x11.XXXXXX)
SERVER_PID="" PROGRAM_PID="" LAST_PROGRAM="" WINDOW="" EXIT_CODE=""
PROGRAM_ENV=()
PASSED=0 FAILED=0
LIMIT=${OARGALA_X11_LIMIT:-120}   # seconds a condition that does come may take on a busy machine

cleanup() { end_program; [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; wait 2>/dev/null; rm -rf "$TMP"; }
trap cleanup EXIT

note() { echo "  $*"; }

# expect DESCRIPTION COMMAND...: one check, counted; with STOP_AT_FAILURE=1 a failed one ends the script.
expect() {
    local what=$1
    shift
    "$@" && { PASSED=$((PASSED + 1)); echo "ok: $what"; return 0; }
    FAILED=$((FAILED + 1))
    echo "FAIL: $what"
    [ -s "$TMP/err" ] && sed 's/^/  stderr: /' "$TMP/err" | tail -n 20
    [ "${STOP_AT_FAILURE:-}" = 1 ] && exit 1
    return 1
}

equals() { [ "$1" = "$2" ] || { note "got '$1', wanted '$2'"; return 1; }; }

# wait_until SECONDS COMMAND...: polls until the command succeeds, dismissing
# the running program's message boxes; gives up once that program has ended.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        if [ -n "$PROGRAM_PID" ] && program_ended; then "$@" && return 0; note "the program has ended"; return 1; fi
        [ -n "$PROGRAM_PID" ] && dismiss_boxes
        sleep 0.2
    done
}

server_ready() { [ -s "$TMP/display" ] && DISPLAY=":$(head -n 1 "$TMP/display")" xdpyinfo >/dev/null 2>&1; }

start_server() {
    rm -f "$TMP/display"
    case $1 in
    xvfb) Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$TMP/display" >"$TMP/server.log" 2>&1 & ;;
    xorg*) Xorg -displayfd 3 -config "$X11_DIR/xorg-dummy${1#xorg}.conf" -noreset -nolisten tcp -logfile "$TMP/xorg.log" \
              +extension RANDR 3>"$TMP/display" >"$TMP/server.log" 2>&1 & ;;
    esac
    SERVER_PID=$!
    wait_until 60 eval 'server_ready || ! kill -0 "$SERVER_PID" 2>/dev/null'   # until it is up or has died
    if ! server_ready; then
        echo "FAIL: the $1 server did not start"
        cat "$TMP/server.log" "$TMP/xorg.log" 2>/dev/null | tail -n 30
        exit 1
    fi
    export DISPLAY=":$(head -n 1 "$TMP/display")"
    echo "$1 server on $DISPLAY"
}

# start_program ARGS...: oargala in the background from SOURCE_DIR, signals
# back to their defaults, in a session of its own so that end_program also
# ends what it leaves behind (SDL shows each message box from a child).
start_program() {
    end_program
    EXIT_CODE="" WINDOW=""
    (cd "$SOURCE_DIR" && exec setsid env --default-signal SDL_AUDIODRIVER=dummy "${PROGRAM_ENV[@]}" "$OARGALA" "$@") \
        >"$TMP/out" 2>"$TMP/err" </dev/null &
    PROGRAM_PID=$!
    LAST_PROGRAM=$PROGRAM_PID
}

# Ends what is left of the last program: itself and whatever it started.
end_program() {
    [ -n "$PROGRAM_PID" ] && { kill -KILL "$PROGRAM_PID"; wait "$PROGRAM_PID"; } 2>/dev/null
    [ -n "$LAST_PROGRAM" ] && kill -KILL -- "-$LAST_PROGRAM" 2>/dev/null
    PROGRAM_PID="" LAST_PROGRAM=""
}

program_ended() {
    [ -z "$PROGRAM_PID" ] || [ ! -e "/proc/$PROGRAM_PID" ] ||
        [ "$(awk '{print $3}' "/proc/$PROGRAM_PID/stat" 2>/dev/null)" = Z ]
}

# wait_exit: waits for the program to end (killing it when it does not in
# time) and sets EXIT_CODE, 128 + signal when a signal ended it.
wait_exit() {
    wait_until "$LIMIT" program_ended || { note "the program did not end; killing it"; kill -KILL "$PROGRAM_PID" 2>/dev/null; }
    wait "$PROGRAM_PID" 2>/dev/null
    EXIT_CODE=$?
    PROGRAM_PID=""
    end_program
}

# The visible window of this run of the program, not an earlier run's.
show_window_found() {
    WINDOW=$(xdotool search --all --onlyvisible --pid "$PROGRAM_PID" --name pelmatox 2>/dev/null | head -n 1) && [ -n "$WINDOW" ]
}
wait_window() { wait_until "$LIMIT" show_window_found || { note "no window appeared"; return 1; }; }

title() { xdotool getwindowname "$WINDOW" 2>/dev/null; }

# Message boxes are the program's other windows: each is taken with Return, its title noted in $TMP/boxes
# (found with xwininfo: xdotool's search misses SDL's boxes, whose names are not of the STRING type).
dismiss_boxes() {
    local id name
    while read -r id name; do
        case $name in *pelmatox*) continue ;; esac
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || continue
        echo "  dismissing a message box: $name"
        echo "$name" >>"$TMP/boxes"
        xdotool windowfocus "$id" key Return 2>/dev/null
    done < <(xwininfo -root -children 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "\(.*\)": .*/\1 \2/p')
}

press() { xdotool windowfocus "$WINDOW" key "$1"; }

geometry() {
    xdotool getwindowgeometry --shell "$WINDOW" | awk -F= '{ v[$1] = $2 } END { print v["WIDTH"] "x" v["HEIGHT"] "+" v["X"] "+" v["Y"] }'
}

# The screen's size and the mode of the output at its origin: "1024x768 1024x768".
screen_mode() {
    xrandr 2>/dev/null | awk '
        /^Screen 0:/ { for (i = 1; i <= NF; i++) if ($i == "current") { size = $(i+1) "x" $(i+3); sub(",", "", size) } }
        / connected/ { for (i = 3; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+0\+0$/) { split($i, m, "+"); mode = m[1] } }
        END { print size, mode }'
}

mode_is() { [ "$(screen_mode)" = "$1" ]; }

# After a failed scenario the next one still starts from $DESKTOP (as screen_mode prints it).
reset_mode() {
    [ "$(screen_mode)" = "$DESKTOP" ] && return
    note "putting the desktop back by hand after: $(screen_mode)"
    xrandr --fb "${DESKTOP%% *}" --output DUMMY0 --mode "${DESKTOP%% *}" 2>/dev/null
}

finish() { echo "checks passed: $PASSED, failed: $FAILED"; [ "$FAILED" -eq 0 ]; }
