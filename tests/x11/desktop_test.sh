#!/bin/bash
# desktop_test.sh: the show on a 16:9 desktop (Xorg with the dummy video
# driver, 1280x720, which can also switch to 800x600 and 640x480 but not to
# 1024x768). --desktop covers the screen and never touches the mode; --size
# 800x600 switches and puts the desktop back after Escape and after SIGTERM;
# a size the display does not offer falls back to a window over the desktop,
# with a hint. The letterboxed pixels are checked by screenshot_test.cpp.
# Usage: desktop_test.sh OARGALA X11_TOOL SOURCE_DIR
OARGALA=$1 X11_TOOL=$2 SOURCE_DIR=$3
source "$(dirname "$0")/lib.sh"

DESKTOP="1280x720 1280x720"
HINT="oargala: the display cannot switch to 1024x768; --desktop fills the screen without changing its mode"

ends_with_escape() {
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

desktop() {
    echo "--desktop: the whole screen at the desktop's mode"
    reset_mode
    start_watch
    start_program --desktop
    expect "a window appears" wait_window || return
    expect "the window covers the whole 1280x720 screen" equals "$(geometry)" "1280x720+0+0"
    ends_with_escape
    expect "the desktop keeps its mode" mode_is "$DESKTOP"
    expect "the screen never changed size" equals "$(grep -vc '^ready' "$TMP/watch")" 0
    expect "nothing said a switch failed" equals "$(cat "$TMP/err")" ""
    stop_watch
}

size_800x600() {
    local how=$1
    echo "--size 800x600, ended by $how"
    reset_mode
    start_program --size 800x600
    expect "a window appears" wait_window || return
    expect "the display switches to 800x600" wait_until "$LIMIT" mode_is "800x600 800x600" || return
    expect "the window covers the whole 800x600 screen" equals "$(geometry)" "800x600+0+0"
    if [ "$how" = Escape ]; then
        ends_with_escape
    else
        kill -s TERM "$PROGRAM_PID"
        wait_exit
        expect "SIGTERM ends it as SIGTERM does (143)" equals "$EXIT_CODE" 143
    fi
    expect "the desktop is back at 1280x720 after $how" wait_until "$LIMIT" mode_is "$DESKTOP"
}

size_not_offered() {
    echo "--size 1024x768, which the display does not offer"
    reset_mode
    start_program --size 1024x768
    expect "a window appears" wait_window || return
    expect "a 1024x768 window lies at (0, 0) over the desktop" equals "$(geometry)" "1024x768+0+0"
    expect "the desktop keeps its mode" mode_is "$DESKTOP"
    expect "one line says that --desktop fills the screen" equals "$(cat "$TMP/err")" "$HINT"
    ends_with_escape
}

start_server xorg-wide
expect "the dummy server starts at 1280x720" mode_is "$DESKTOP"
desktop
size_800x600 Escape
size_800x600 SIGTERM
size_not_offered
finish
