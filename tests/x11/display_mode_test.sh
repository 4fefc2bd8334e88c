#!/bin/bash
# display_mode_test.sh: the 640x480 full-screen mode under Xorg with the dummy
# video driver (a 1024x768 desktop), where modes really switch: the switch
# during the show, and the desktop's mode back after Escape, a close request,
# SIGTERM, SIGINT, SIGHUP, a fatal signal and a start-up failure. Windowed, the
# mode is never touched.
# Usage: display_mode_test.sh OARGALA X11_TOOL SOURCE_DIR
OARGALA=$1 X11_TOOL=$2 SOURCE_DIR=$3
source "$(dirname "$0")/lib.sh"

DESKTOP="1024x768 1024x768"
SHOW="640x480 640x480"

# starts the show full screen and waits until it runs in the 640x480 mode.
start_show() {
    reset_mode
    start_program "$@"
    expect "a window appears" wait_window || return 1
    expect "the display switches to 640x480" wait_until "$LIMIT" mode_is "$SHOW" || return 1
    expect "the window covers the whole 640x480 screen" equals "$(geometry)" "640x480+0+0"
}

title_has_fps() { [[ "$(title)" == *"[fps: "* ]]; }

desktop_back() { expect "$1" wait_until "$LIMIT" mode_is "$DESKTOP"; }

ends_by_key() {
    echo "full screen, Escape"
    start_show || return
    # Started before the window appears, the show is still loading: the key
    # waits until the main loop takes it.
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
    desktop_back "the desktop is back at 1024x768 after Escape"
}

ends_by_close() {
    echo "full screen, close request"
    start_show || return
    expect "the close request is sent" "$X11_TOOL" close "$WINDOW"
    wait_exit
    expect "the close request ends it with code 0" equals "$EXIT_CODE" 0
    desktop_back "the desktop is back at 1024x768 after a close request"
}

ends_by_signal() {
    local sig=$1 code=$2
    echo "full screen, SIG$sig"
    start_show || return
    kill -s "$sig" "$PROGRAM_PID"
    wait_exit
    if [ -n "$code" ]; then
        expect "SIG$sig ends it as SIG$sig does ($code)" equals "$EXIT_CODE" "$code"
    else
        expect "SIG$sig ends it" test "$EXIT_CODE" -ne 0
    fi
    desktop_back "the desktop is back at 1024x768 after SIG$sig"
}

startup_failure() {
    echo "full screen, start-up failure after the switch (no OpenGL library)"
    reset_mode
    start_watch
    PROGRAM_ENV=(SDL_OPENGL_LIBRARY=/nonexistent/libGL.so.1)
    start_program
    wait_exit
    PROGRAM_ENV=()
    expect "it ends with code 0, as after any start-up failure of the window" equals "$EXIT_CODE" 0
    expect "it says why on standard error" grep -q "^oargala: cannot create the window: " "$TMP/err"
    desktop_back "the desktop is back at 1024x768 after a start-up failure"
    # The switch did happen, before the failure.
    expect "the screen went to 640x480 and back" wait_until 30 grep -qx 1024x768 "$TMP/watch"
    local sizes
    sizes=$(grep -v '^ready' "$TMP/watch" | tr '\n' ' ')
    expect "in that order" test -n "$(echo "$sizes" | grep -o '640x480 .*1024x768')"
    stop_watch
}

windowed_untouched() {
    echo "windowed: the mode is never touched"
    reset_mode
    start_watch
    start_program --windowed
    expect "a window appears" wait_window || return
    expect "frames are drawn" wait_until "$LIMIT" title_has_fps
    expect "the desktop keeps its mode" mode_is "$DESKTOP"
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
    expect "the screen never changed size" equals "$(grep -vc '^ready' "$TMP/watch")" 0
    stop_watch
}

start_server xorg
expect "the dummy server starts at 1024x768" mode_is "$DESKTOP"
ends_by_key
ends_by_close
ends_by_signal TERM 143
ends_by_signal INT 130
ends_by_signal HUP 129
# A fatal signal: the process still dies by it (under AddressSanitizer, which
# takes SIGSEGV itself, with its report and exit code instead).
ends_by_signal SEGV ""
startup_failure
windowed_untouched
finish
