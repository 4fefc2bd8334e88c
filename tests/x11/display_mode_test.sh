#!/bin/bash
# display_mode_test.sh: the show's real window on a 16:9 desktop (Xorg with the dummy video driver
# at 1280x720, which can also switch to 800x600 and 640x480 but not to 1024x768). Full screen is
# 640x480 during the show, with the desktop's mode back however it ends (checked once the program
# has gone, so a fault fails at once); --size 800x600 switches to that mode; a size the display
# does not offer falls back to a window on top at (0, 0), with a hint. Windowed and --desktop
# never touch the mode. The switch comes before the window, so once the window shows, the mode is
# what it will be; the first failed check ends the test.
# Usage: display_mode_test.sh OARGALA X11_TOOL SOURCE_DIR
OARGALA=$1 X11_TOOL=$2 SOURCE_DIR=$3
source "$(dirname "$0")/lib.sh"
STOP_AT_FAILURE=1

DESKTOP="1280x720 1280x720"

# run_show WHAT GEOMETRY MODE ARGS...: starts the show, waits for its window
# and checks where the window lies and the screen's mode while it runs.
run_show() {
    local place=$2 mode=$3
    echo "$1"
    shift 3
    reset_mode
    start_program "$@"
    expect "a window appears" wait_window || return 1
    expect "the screen is at $mode" equals "$(screen_mode)" "$mode" || return 1
    expect "the window lies at $place" equals "$(geometry)" "$place"
}

# end_show HOW CODE: ends the show by a key, a close request or a signal and
# checks its exit code (any but 0 for "fault") and the desktop's mode.
end_show() {
    case $1 in
    Escape) press Escape ;;
    close) expect "the close request is sent" "$X11_TOOL" close "$WINDOW" ;;
    *) kill -s "$1" "$PROGRAM_PID" ;;
    esac
    wait_exit
    [ "$2" = fault ] && [ "$EXIT_CODE" -ne 0 ] && EXIT_CODE=fault
    expect "$1 ends it with code $2" equals "$EXIT_CODE" "$2"
    expect "the desktop is back after $1" equals "$(screen_mode)" "$DESKTOP"
}

start_server xorg-wide

# A fatal signal: the process still dies by it (under AddressSanitizer,
# which takes SIGSEGV itself, with its report and exit code instead).
for row in Escape:0 close:0 TERM:143 INT:130 HUP:129 SEGV:fault; do
    run_show "full screen, ended by ${row%:*}" 640x480+0+0 "640x480 640x480" && end_show "${row%:*}" "${row#*:}"
done

echo "full screen, start-up failure after the switch (no OpenGL library)"
reset_mode
PROGRAM_ENV=(SDL_OPENGL_LIBRARY=/nonexistent/libGL.so.1)
start_program
PROGRAM_ENV=()
wait_exit
expect "it ends with code 0, as after any start-up failure of the window" equals "$EXIT_CODE" 0
expect "it says why on standard error" grep -q "^oargala: cannot create the window: " "$TMP/err"
expect "the desktop is back" equals "$(screen_mode)" "$DESKTOP"

run_show "--size 800x600" 800x600+0+0 "800x600 800x600" --size 800x600 && end_show Escape 0

if run_show "--size 1024x768, which the display does not offer" 1024x768+0+0 "$DESKTOP" --size 1024x768; then
    expect "one line says that --desktop fills the screen" equals "$(cat "$TMP/err")" \
        "oargala: the display cannot switch to 1024x768; --desktop fills the screen without changing its mode"
    expect "the title is exactly the decorated title" equals "$(title)" '(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]'
    expect "the window asks to stay on top" equals "$(xprop -id "$WINDOW" _NET_WM_STATE)" \
        "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE"
    end_show Escape 0
fi

PROGRAM_ENV=(SDL_AUDIODRIVER=no-such-driver)
if run_show "--desktop without a sound device: one box, the whole screen at its mode" 1280x720+0+0 "$DESKTOP" --desktop; then
    expect "a box titled ZUZORE RO DODAZED comes and is dismissed" wait_until "$LIMIT" grep -sqx "ZUZORE RO DODAZED" "$TMP/boxes"
    end_show TERM 143
    expect "nothing said a switch failed" equals "$(cat "$TMP/err")" ""
    # The box comes after the pictures: their lines were in the file before the signal.
    expect "the loader's 66 lines reached the file" equals "$(grep -c '^(' "$TMP/out")" 66
fi
PROGRAM_ENV=()

if run_show "windowed --vsync" 640x480+0+0 "$DESKTOP" --windowed --vsync; then
    expect "one line says the show runs without vsync" equals "$(cat "$TMP/err")" \
        "oargala: this display cannot wait for its refresh; the show runs without vsync"
    end_show close 0
fi
finish
