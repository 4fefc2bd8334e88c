#!/bin/bash
# wine_test.sh: the Windows release under Wine against the Linux build (the
# command line, --decode of every test picture, --capture's frames), then the
# show on an Xorg dummy server: windowed without a sound device, full screen
# with the desktop's mode back after Escape, TERM, KILL and Ctrl+C. File names
# in Greek and Japanese, a folder name ending in \.
# Usage: wine_test.sh LINUX_OARGALA X11_TOOL RELEASE_DIR SOURCE_DIR
LINUX=$(realpath "$1") X11_TOOL=$2 RELEASE=$(realpath "$3") SOURCE=$(realpath "$4")
export OARGALA_EXE=$RELEASE/oargala.exe
OARGALA=$SOURCE/tests/windows/oargala_wine.sh
SOURCE_DIR=$RELEASE   # the program runs from the release's folder: the zip's own data/
source "$SOURCE/tests/x11/lib.sh"
# No Mono or Gecko installers: their dialogs would wait for a person.
export WINEPREFIX=$TMP/wineprefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree=;mshtml="
export LC_ALL=C.UTF-8   # Wine reads Unix file names in the locale's character set
GREEK=$TMP/δεδομένα     # a copy of the release in a folder outside any code page
trap 'end_program; wineserver -k 2>/dev/null; cleanup' EXIT

outcome() (   # COMMAND...: from the release's folder, its exit code, output and errors, CR LF made LF
    local o=$TMP/o$BASHPID e=$TMP/e$BASHPID
    cd "$RELEASE" && "$@" >"$o" 2>"$e"
    echo "exit code $?"
    cat "$o" - "$e" <<<"-- standard error" | tr -d '\r'
)
same() { diff "$1" "$2" >"$TMP/diff" || { head -n 10 "$TMP/diff" | sed 's/^/  /'; return 1; }; }

command_line() {
    echo "command line: output and exit codes as on Linux"
    local args
    for args in --version --help --no-such-option --decode "--capture out.mp4 --fps 0" --check-data; do
        # shellcheck disable=SC2086 # $args split on purpose
        expect "$args: same exit code, output and errors" \
            same <(outcome "$LINUX" $args) <(outcome wine "$OARGALA_EXE" $args)
    done
    expect "--capture OUT.mp4 is refused in one line, exit code 2" \
        equals "$(outcome wine "$OARGALA_EXE" --capture out.mp4)" "exit code 2
-- standard error
oargala: video capture needs ffmpeg and is not in this release; pictures are (--capture DIR/)"
}

# Every picture from one batch file: one more process under the same wineserver each.
decode_all() {
    echo "--decode: every test picture gives the same exit code, output and PAM"
    local out=$TMP/decode i=0 path exe w
    mkdir -p "$out/linux" "$out/windows"
    exe=$(echo "Z:$OARGALA_EXE" | tr / '\\')
    while read -r path; do
        w=$out/linux/$((++i))
        (cd "$SOURCE" && "$LINUX" --decode "$path" "$w.pam" >"$w.out" 2>"$w.err"; echo $? >"$w.code")
        w=Z:$out/windows/$i   # the picture's path as on Linux: it shows in the log lines
        printf '"%s" --decode "%s" "%s.pam" > "%s.out" 2> "%s.err"\r\necho %%ERRORLEVEL%% > "%s.code"\r\n' \
            "$exe" "$path" "$w" "$w" "$w" "$w" >>"$out/run.bat"
    done < <(cd "$SOURCE" && find tests/data -type f ! -name '*.pam' ! -name '*.md' ! -name '*.py' ! -name '*.json' \
             ! -name 'LICENSE' ! -name '*README*' ! -name '*.mp3' | sort)
    (cd "$SOURCE" && wine cmd /c "Z:$(echo "$out/run.bat" | tr / '\\')" >/dev/null 2>&1)
    sed -i 's/\r$//' "$out"/windows/*.out "$out"/windows/*.err
    sed -i 's/ *\r$//' "$out"/windows/*.code
    expect "all $i pictures decode as on Linux" same <(diff -rq "$out/linux" "$out/windows") /dev/null
}

# Every scene but the title cards, whose stars come from the C runtime's rand()
# (glibc and msvcrt differ; any sequence is right). The two runtimes' sin and
# cos may differ by 1 in a few bytes (cmp -l lists the differing bytes' values in octal).
capture_frames() {
    echo "--capture DIR/: the frames match the Linux build's"
    local at=5,60,68,85,97,110,142,155 build frame bad=0 largest count
    (cd "$RELEASE" && "$LINUX" --capture "$TMP/frames-linux/" --fps 10 --at $at >/dev/null 2>"$TMP/err")
    (cd "$RELEASE" && wine "$OARGALA_EXE" --capture "$TMP/frames-windows/" --fps 10 --at $at >/dev/null 2>"$TMP/err")
    expect "the Windows build wrote 8 frames" equals "$(ls "$TMP/frames-windows" | wc -l)" 8
    for frame in "$TMP"/frames-linux/*.png; do
        frame=${frame##*/}
        for build in linux windows; do
            "$LINUX" --decode "$TMP/frames-$build/$frame" "$TMP/$build-$frame.pam" >/dev/null 2>&1
        done
        read -r largest count < <(cmp -l "$TMP/linux-$frame.pam" "$TMP/windows-$frame.pam" | awk '
            function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
            { d = oct($2) - oct($3); if (d < 0) d = -d; if (d > m) m = d; n++ } END { print m + 0, n + 0 }')
        [ "$largest" -le 1 ] && [ "$count" -le 1000 ] || { bad=$((bad + 1)); note "$frame: $count bytes differ, by up to $largest"; }
    done
    expect "every frame matches the Linux build's within 1 in under 1000 bytes" equals "$bad" 0
}

DECORATED='(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]'
fps_title() { [[ "$(title)" =~ ^"$DECORATED [fps: "[\ 0-9-]{2,}\.[0-9]{2}"]"$ ]]; }

# Whether the window shows the Linux capture's loading frame at 5 s: under 10 %
# of the bytes differ (the boat creeping across is all that moves).
shows_loading_scene() {
    ffmpeg -v error -y -f x11grab -video_size 640x480 -i "$DISPLAY+$(geometry | cut -d+ -f2-)" \
        -frames:v 1 -f rawvideo -pix_fmt rgb24 "$TMP/screen.rgb" || return 1
    local percent=$(($(cmp -l "$TMP/screen.rgb" <(tail -c 921600 "$TMP/linux-frame-00050.png.pam") | wc -l) * 100 / 921600))
    note "the window differs from the loading frame in $percent % of its bytes"
    [ "$percent" -lt 10 ]
}

# Wine has no sound device here: SDL's own choice of driver finds none.
window_show() {
    echo "windowed, no sound device: one box, then the show silently (title, loading scene, Escape)"
    bash "$SOURCE/tests/x11/dismiss_box.sh" "ZUZORE RO DODAZED" "$TMP/box" &
    local helper=$!
    PROGRAM_ENV=(SDL_AUDIODRIVER=)
    start_program --windowed
    PROGRAM_ENV=()
    expect "a message box comes and is dismissed" wait_until "$LIMIT" test -s "$TMP/box"
    expect "it was the sound box" test "$(cat "$TMP/box")" != none
    expect "a window appears" wait_window || return
    expect "the title is the decorated title and the frame rate" wait_until "$LIMIT" fps_title
    expect "the window is 640x480" equals "$(geometry | cut -d+ -f1)" 640x480
    expect "the loading scene is on screen" shows_loading_scene
    press Escape
    wait_exit
    wait "$helper"
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

# Started from another folder, the copy in $GREEK finds data\ beside it; the
# guard's flag inside a --data folder's name makes no guard.
checks_data() {
    (cd "$TMP" && wine "$GREEK/oargala.exe" --check-data "$@" >"$TMP/out" 2>"$TMP/err")
    local code=$?
    [ "$code" = 0 ] && grep -q "^all 33 pictures load" "$TMP/out" && [ ! -s "$TMP/err" ] && return
    note "exit code $code, standard output ending: $(tail -c 300 "$TMP/out" | tr -d '\r')"
    return 1
}
captures() {   # FOLDER PICTURE: --capture FOLDER --at 5 from $TMP writes PICTURE
    (cd "$TMP" && wine "$GREEK/oargala.exe" --capture "$1" --fps 1 --at 5 >/dev/null 2>"$TMP/err") && test -f "$2"
}
file_names() {
    echo "file names: the release in δεδομένα, frames into データ, a folder ending in \\, the guard's flag in --data"
    local guarded="$TMP/x --display-mode-guard 1"
    cp -r "$RELEASE" "$GREEK" && mkdir "$guarded" && cp -r "$RELEASE/data" "$guarded/"
    expect "oargala.exe in δεδομένα finds the data beside it" checks_data
    expect "a --data folder named with --display-mode-guard is read, not taken for the guard" checks_data --data "$guarded/data"
    expect "--capture データ/ writes its frame there" captures "$TMP/データ/" "$TMP/データ/frame-00005.png"
    expect "--capture shots\\ makes the folder shots" captures 'shots\' "$TMP/shots/frame-00005.png"
    expect "a second capture into shots\\ writes its frame again" captures 'shots\' "$TMP/shots/frame-00005.png"
}

DESKTOP="1024x768 1024x768"
# Killed, the program itself cannot put the mode back (Wine, unlike Windows, keeps it): its guard process does.
# Started from $GREEK: the guard is the exe of a folder outside any code page.
full_screen() {
    local ending
    export OARGALA_EXE=$GREEK/oargala.exe
    for ending in Escape TERM KILL; do
        echo "full screen: 640x480 during the show, the desktop back after $ending"
        reset_mode
        start_program
        expect "a window appears" wait_window || continue
        expect "the display switches to 640x480" wait_until "$LIMIT" mode_is "640x480 640x480" || continue
        if [ "$ending" = Escape ]; then
            press Escape
            wait_exit
            expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
        else
            kill -s "$ending" "$PROGRAM_PID"
            PROGRAM_PID=""   # the guard outlives it, in the same process group
        fi
        expect "the desktop is back at 1024x768 after $ending" wait_until "$LIMIT" mode_is "$DESKTOP"
        end_program
    done
}

# Ctrl+C reaches a window program only through the console it was started
# from: ctrl_c.exe gives it one (without a window) and presses Ctrl+C there
# once the program itself says its mode is changed and this script has seen
# the change ($TMP/press). It ends as Ctrl+C ends a program (Wine's code 0,
# Windows' c000013a).
# The release's own exe: the helper, without our manifest, takes ANSI names only.
console_ctrl_c() {
    echo "full screen: Ctrl+C in its console ends it and the desktop comes back"
    reset_mode
    x86_64-w64-mingw32-gcc-posix -Wall -o "$TMP/ctrl_c.exe" "$SOURCE/tests/windows/ctrl_c.c" 2>"$TMP/err" ||
        { expect "the Ctrl+C helper builds" false; return; }
    (cd "$RELEASE" && exec setsid env --default-signal SDL_AUDIODRIVER=dummy wine "$TMP/ctrl_c.exe" "$RELEASE/oargala.exe" \
        "$TMP/press") >"$TMP/said" 2>"$TMP/err" </dev/null &
    PROGRAM_PID=$! LAST_PROGRAM=$!
    expect "the display switches to 640x480" wait_until "$LIMIT" mode_is "640x480 640x480" || return
    touch "$TMP/press"
    wait_exit
    expect "Ctrl+C ends it as it ends a program" grep -qE "^ended with code (0|c000013a)" "$TMP/said" ||
        note "$(cat "$TMP/said")"
    expect "the desktop is back at 1024x768 after Ctrl+C" wait_until "$LIMIT" mode_is "$DESKTOP"
}

start_server xorg
# The server outlives each program: later starts skip its start-up.
mkdir -p "$WINEPREFIX" && wineserver -p && wineboot -i >/dev/null 2>&1 || { echo "FAIL: the Wine prefix could not be made"; exit 1; }
command_line
decode_all
capture_frames
window_show
file_names
full_screen
console_ctrl_c
finish
