#!/bin/bash
# wine_test.sh: the Windows release under Wine, against the Linux build. The
# command line's output and exit codes, --decode of every test picture
# (byte-identical PAM), --capture frames across the show, the windowed show
# under Xvfb (title, the loading scene on screen, Escape and the close
# request), the missing sound device's one box, and full screen under Xorg
# with the dummy driver (640x480 during the show, the desktop's mode back).
# One throw-away Wine prefix and one kept-alive wineserver for the whole run.
# Usage: wine_test.sh LINUX_OARGALA X11_TOOL RELEASE_DIR SOURCE_DIR
LINUX=$(realpath "$1") X11_TOOL=$2 RELEASE=$(realpath "$3") SOURCE=$(realpath "$4")
export OARGALA_EXE=$RELEASE/oargala.exe
OARGALA=$SOURCE/tests/windows/oargala_wine.sh
# The program runs from the release's folder: the zip's own data/.
SOURCE_DIR=$RELEASE
source "$SOURCE/tests/x11/lib.sh"

export WINEPREFIX=$TMP/wineprefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installers: their dialogs would wait for a person.
export WINEDLLOVERRIDES="mscoree=;mshtml="
wine_cleanup() {
    end_program
    wineserver -k 2>/dev/null
    cleanup
}
trap wine_cleanup EXIT

start_wine() {
    local start=$SECONDS
    # The server outlives each program: later starts skip its start-up.
    mkdir -p "$WINEPREFIX"
    wineserver -p || return 1
    wineboot -i >/dev/null 2>&1 || return 1
    note "Wine prefix ready in $((SECONDS - start)) s"
}

# run_both NAME ARGS...: the Linux and the Windows build with the same
# arguments from the release's folder; output in $TMP/NAME.{linux,windows}.*
# with Windows' CR LF line ends made LF.
run_both() {
    local name=$1
    shift
    (cd "$RELEASE" && "$LINUX" "$@" >"$TMP/$name.linux.out" 2>"$TMP/$name.linux.err"; echo $? >"$TMP/$name.linux.code")
    (cd "$RELEASE" && wine "$OARGALA_EXE" "$@" >"$TMP/$name.windows.raw" 2>"$TMP/$name.windows.rawerr"
     echo $? >"$TMP/$name.windows.code")
    tr -d '\r' <"$TMP/$name.windows.raw" >"$TMP/$name.windows.out"
    tr -d '\r' <"$TMP/$name.windows.rawerr" >"$TMP/$name.windows.err"
}

same() { cmp -s "$1" "$2" || { diff "$1" "$2" | head -n 10 | sed 's/^/  /'; return 1; }; }

command_line() {
    echo "command line: output and exit codes as on Linux"
    local args
    for args in "--version" "--help" "--no-such-option" "--decode" "--capture out.mp4 --fps 0"; do
        # shellcheck disable=SC2086
        run_both cli $args
        expect "$args: same exit code" same "$TMP/cli.linux.code" "$TMP/cli.windows.code"
        expect "$args: same standard output" same "$TMP/cli.linux.out" "$TMP/cli.windows.out"
        expect "$args: same standard error" same "$TMP/cli.linux.err" "$TMP/cli.windows.err"
    done
    (cd "$RELEASE" && wine "$OARGALA_EXE" --capture out.mp4 2>&1 | tr -d '\r' >"$TMP/cli.windows.err"
     echo "${PIPESTATUS[0]}" >"$TMP/cli.windows.code")
    expect "--capture OUT.mp4 is refused with exit code 2" equals "$(cat "$TMP/cli.windows.code")" 2
    expect "in one line" equals "$(cat "$TMP/cli.windows.err")" \
        "oargala: video capture needs ffmpeg and is not in this release; pictures are (--capture DIR/)"
    run_both cli --check-data
    expect "--check-data: same exit code and output" same "$TMP/cli.linux.out" "$TMP/cli.windows.out"
}

# Every picture in one batch file: Wine starts once, each decode is one more
# process under the same wineserver.
decode_all() {
    echo "--decode: every test picture gives the same exit code, output and PAM"
    local list=$TMP/pictures out=$TMP/decode i=0 path
    mkdir -p "$out/linux" "$out/windows"
    (cd "$SOURCE" && find tests/data -type f ! -name '*.pam' ! -name '*.md' ! -name '*.py' ! -name '*.json' \
        ! -name 'LICENSE' ! -name '*README*' ! -name '*.mp3' | sort) >"$list"
    : >"$out/run.bat"
    local exe dir=Z:$out/windows
    exe=$(echo "Z:$OARGALA_EXE" | tr / '\\')
    while read -r path; do
        i=$((i + 1))
        (cd "$SOURCE" && "$LINUX" --decode "$path" "$out/linux/$i.pam" >"$out/linux/$i.out" 2>"$out/linux/$i.err"
         echo $? >"$out/linux/$i.code")
        # The picture's path as on Linux (it shows in the log lines).
        printf '"%s" --decode "%s" "%s/%s.pam" > "%s/%s.out" 2> "%s/%s.err"\r\necho %%ERRORLEVEL%% > "%s/%s.code"\r\n' \
            "$exe" "$path" "$dir" "$i" "$dir" "$i" "$dir" "$i" "$dir" "$i" >>"$out/run.bat"
    done <"$list"
    local start=$SECONDS
    (cd "$SOURCE" && wine cmd /c "Z:$(echo "$out/run.bat" | tr / '\\')" >/dev/null 2>&1)
    note "$i pictures decoded under Wine in $((SECONDS - start)) s"
    local bad=0
    for ((n = 1; n <= i; n++)); do
        local code
        code=$(tr -dc 0-9 <"$out/windows/$n.code" 2>/dev/null)
        tr -d '\r' <"$out/windows/$n.out" >"$out/windows/$n.out.txt" 2>/dev/null
        tr -d '\r' <"$out/windows/$n.err" >"$out/windows/$n.err.txt" 2>/dev/null
        if [ "$code" != "$(cat "$out/linux/$n.code")" ] || ! cmp -s "$out/linux/$n.out" "$out/windows/$n.out.txt" ||
           ! cmp -s "$out/linux/$n.err" "$out/windows/$n.err.txt" ||
           { [ -f "$out/linux/$n.pam" ] && ! cmp -s "$out/linux/$n.pam" "$out/windows/$n.pam"; }; then
            bad=$((bad + 1))
            [ $bad -le 5 ] && note "differs: $(sed -n "${n}p" "$list") (exit $code, Linux $(cat "$out/linux/$n.code"))"
        fi
    done
    expect "all $i pictures decode as on Linux" equals "$bad" 0
}

# "LARGEST COUNT": the largest difference of two same-sized binary files'
# bytes and how many bytes differ (cmp -l gives the values in octal).
byte_difference() {
    cmp -l "$1" "$2" | awk 'function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
        { d = oct($2) - oct($3); if (d < 0) d = -d; if (d > m) m = d; n++ } END { print m + 0, n + 0 }'
}

# Frames of the capture in every scene but the title cards: loading, world,
# flickers, slideshow, cube, the closing cards. (The title cards' star field
# comes from the C runtime's rand(), whose sequence differs between glibc and
# Windows' msvcrt; any sequence is right.) Allowed: a difference of 1 in a few
# bytes, from the two C runtimes' sin and cos.
capture_frames() {
    echo "--capture DIR/: the frames match the Linux build's"
    local at=5,60,68,85,97,110,142,155 build frame bad=0 largest count
    (cd "$RELEASE" && "$LINUX" --capture "$TMP/frames-linux/" --fps 10 --at $at >/dev/null 2>"$TMP/err")
    (cd "$RELEASE" && wine "$OARGALA_EXE" --capture "$TMP/frames-windows/" --fps 10 --at $at >/dev/null 2>"$TMP/err")
    expect "the Windows build wrote 8 frames" equals "$(ls "$TMP/frames-windows" | wc -l)" 8
    for frame in "$TMP"/frames-linux/*.png; do
        for build in linux windows; do
            "$LINUX" --decode "$TMP/frames-$build/$(basename "$frame")" "$TMP/$build.pam" >/dev/null 2>&1
        done
        read -r largest count < <(byte_difference "$TMP/linux.pam" "$TMP/windows.pam")
        if [ "$largest" -gt 1 ] || [ "$count" -gt 1000 ]; then
            bad=$((bad + 1))
            note "differs: $(basename "$frame"): $count bytes, by up to $largest"
        fi
    done
    expect "every frame matches the Linux build's within 1 in under 1000 bytes" equals "$bad" 0
}

DECORATED='(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]'
fps_title() { [[ "$(title)" =~ ^"$DECORATED [fps: "[\ 0-9-]{2,}\.[0-9]{2}"]"$ ]]; }

# The share of bytes in which the window's picture differs from the Linux
# capture's loading frame at 5 s, in percent. The boat creeping across the
# picture is all that moves in the first 14 s.
loading_difference() {
    ffmpeg -v error -y -f x11grab -video_size 640x480 -i "$DISPLAY+$(geometry | cut -d+ -f2-)" \
        -frames:v 1 -f rawvideo -pix_fmt rgb24 "$TMP/screen.rgb" || return 1
    "$LINUX" --decode "$TMP/frames-linux/frame-00050.png" "$TMP/loading.pam" >/dev/null || return 1
    tail -c 921600 "$TMP/loading.pam" >"$TMP/loading.rgb"
    local largest count
    read -r largest count < <(byte_difference "$TMP/screen.rgb" "$TMP/loading.rgb")
    echo $((count * 100 / 921600))
}

window_show() {
    echo "windowed under Xvfb: title with the frame rate, the loading scene, Escape"
    start_program --windowed
    expect "a window appears" wait_window || return
    expect "the title is the decorated title and the frame rate" wait_until "$LIMIT" fps_title
    expect "the window is 640x480" equals "$(geometry | cut -d+ -f1)" 640x480
    local diff
    diff=$(loading_difference)
    note "the window differs from the loading frame in $diff % of its bytes"
    expect "the loading scene is on screen" test "${diff:-100}" -lt 10
    press Escape
    wait_exit
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0

    echo "windowed under Xvfb: the close request"
    start_program --windowed
    expect "a window appears" wait_window || return
    expect "the close request is sent" "$X11_TOOL" close "$WINDOW"
    wait_exit
    expect "the close request ends it with code 0" equals "$EXIT_CODE" 0
}

# Wine has no sound device here: SDL's own choice of driver finds none.
no_sound_device() {
    echo "no sound device: one box, then the show plays on silently"
    bash "$SOURCE/tests/x11/dismiss_box.sh" "ZUZORE RO DODAZED" "$TMP/box" &
    local helper=$!
    PROGRAM_ENV=(SDL_AUDIODRIVER=)
    start_program --windowed
    PROGRAM_ENV=()
    expect "a message box comes and is dismissed" wait_until "$LIMIT" test -s "$TMP/box"
    expect "it was the sound box" test "$(cat "$TMP/box")" != none
    expect "a window appears" wait_window || return
    expect "the show plays" wait_until "$LIMIT" fps_title
    press Escape
    wait_exit
    wait "$helper"
    expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
}

DESKTOP="1024x768 1024x768"
SHOW="640x480 640x480"
# Killed, the program itself cannot put the mode back (Wine, unlike Windows,
# keeps it): its guard process does.
full_screen() {
    local ending pid
    for ending in Escape TERM KILL; do
        echo "full screen under Xorg (dummy): 640x480 during the show, the desktop back after $ending"
        reset_mode
        start_program
        expect "a window appears" wait_window || continue
        expect "the display switches to 640x480" wait_until "$LIMIT" mode_is "$SHOW" || continue
        if [ "$ending" = Escape ]; then
            press Escape
            wait_exit
            expect "Escape ends it with code 0" equals "$EXIT_CODE" 0
        else
            kill -s "$ending" "$PROGRAM_PID"
            pid=$PROGRAM_PID
            PROGRAM_PID=""   # the guard outlives it, in the same process group
        fi
        expect "the desktop is back at 1024x768 after $ending" wait_until "$LIMIT" mode_is "$DESKTOP"
        [ "$ending" = Escape ] || { wait "$pid" 2>/dev/null; end_program; }
    done
}

start_server xvfb
start_wine || { echo "FAIL: the Wine prefix could not be made"; exit 1; }
command_line
decode_all
capture_frames
window_show
no_sound_device
# Wine's desktop process stays with the X server it started on: a new server
# needs a new wineserver.
wineserver -k
wineserver -w
kill "$SERVER_PID"
wait "$SERVER_PID" 2>/dev/null
start_server xorg
wineserver -p
full_screen
finish
