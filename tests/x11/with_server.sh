#!/bin/bash
# with_server.sh xvfb|xorg|xorg-wide X11_TOOL PROGRAM [ARGS...]: runs a test
# program on a private X server of its own (in DISPLAY, its kind in
# OARGALA_TEST_X_SERVER, x11_tool in X11_TOOL) and stops the server after.
kind=$1 X11_TOOL=$2 OARGALA=/dev/null
shift 2
source "$(dirname "$0")/lib.sh"
start_server "$kind"
export OARGALA_TEST_X_SERVER=$kind X11_TOOL
"$@"
