#!/bin/bash
# dismiss_box.sh CAPTION SEEN_FILE: plays the person at the screen for a
# message-box test: waits for a shown window titled CAPTION, writes its id to
# SEEN_FILE and presses Return in it; writes "none" after two minutes without.
caption=$1 seen=$2
for _ in $(seq 600); do
    id=$(xwininfo -root -children 2>/dev/null | awk -v name="\"$caption\":" 'index($0, name) { print $1; exit }')
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
        echo "$id" >"$seen.part" && mv "$seen.part" "$seen"
        xdotool windowfocus "$id" key Return
        exit 0
    fi
    sleep 0.2
done
echo none >"$seen"
