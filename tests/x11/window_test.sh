#!/bin/bash
# window_test.sh: the show's real window under Xvfb, whose single mode
# refuses the 640x480 switch. Windowed and full screen: the title, the
# window's place and size, a key that does nothing, Escape and a window
# manager's close request (WM_DELETE_WINDOW) ending the program with code 0;
# --vsync, which Mesa's software renderer on Xvfb cannot honour.
# Usage: window_test.sh OARGALA X11_TOOL SOURCE_DIR
OARGALA=$1 X11_TOOL=$2 SOURCE_DIR=$3
source "$(dirname "$0")/lib.sh"

DECORATED='(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]'

fps_title() {
    [[ "$(title)" =~ ^"$DECORATED [fps: "[\ 0-9-]{2,}\.[0-9]{2}"]"$ ]]
}
title_is_not() { [ "$(title)" != "$1" ]; }
alive() { ! program_ended; }
stays_on_top() { [ "$(xprop -id "$WINDOW" _NET_WM_STATE)" = "_NET_WM_STATE(ATOM) = _NET_WM_STATE_ABOVE" ]; }

windowed_escape() {
    echo "windowed: title with the frame rate, other keys swallowed, Escape ends"
    start_program --windowed
    expect "a window appears" wait_window || return
    expect "the title is the decorated title and the frame rate" wait_until "$LIMIT" fps_title
    expect "the window is 640x480" equals "$(geometry | cut -d+ -f1)" 640x480
    expect "the screen keeps its mode" mode_is "1024x768 1024x768"
    press a
    press space
    local seen
    seen=$(title)
    expect "frames go on after other keys" wait_until "$LIMIT" title_is_not "$seen"
    expect "the program still runs" alive
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

windowed_close() {
    echo "windowed: a close request ends it"
    start_program --windowed
    expect "a window appears" wait_window || return
    expect "frames are drawn" wait_until "$LIMIT" fps_title
    expect "the close request is sent" "$X11_TOOL" close "$WINDOW"
    wait_exit
    expect "the close request ends it with code 0" equals "$EXIT_CODE" 0
}

full_screen() {
    echo "full screen over the desktop's mode: borderless, on top, at (0, 0)"
    start_program
    expect "a window appears" wait_window || return
    expect "the title is exactly the decorated title" equals "$(title)" "$DECORATED"
    expect "the window lies at (0, 0), 640x480" equals "$(geometry)" "640x480+0+0"
    expect "the window asks to stay on top" wait_until "$LIMIT" stays_on_top
    expect "the screen keeps its only mode" mode_is "1024x768 1024x768"
    press b
    expect "the program still runs after another key" alive
    expect "the title still is the decorated title" equals "$(title)" "$DECORATED"
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

full_screen_close() {
    echo "full screen: a close request ends it"
    start_program
    expect "a window appears" wait_window || return
    expect "the close request is sent" "$X11_TOOL" close "$WINDOW"
    wait_exit
    expect "the close request ends it with code 0" equals "$EXIT_CODE" 0
}

vsync_refused() {
    echo "windowed --vsync: one line says it cannot be done, and the show runs"
    start_program --windowed --vsync
    expect "a window appears" wait_window || return
    expect "frames are drawn" wait_until "$LIMIT" fps_title
    expect "one line says the show runs without vsync" equals "$(cat "$TMP/err")" \
        "oargala: this display cannot wait for its refresh; the show runs without vsync"
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

start_server xvfb
windowed_escape
windowed_close
full_screen
full_screen_close
vsync_refused
finish
