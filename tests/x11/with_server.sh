#!/bin/bash
# with_server.sh: runs a test program on a private X server of its own and
# stops the server afterwards. The program finds the server in DISPLAY, its
# kind in OARGALA_TEST_X_SERVER and x11_tool in X11_TOOL.
# Usage: with_server.sh xvfb|xorg|xorg-wide X11_TOOL PROGRAM [ARGS...]
kind=$1 X11_TOOL=$2
shift 2
OARGALA=/dev/null
source "$(dirname "$0")/lib.sh"
start_server "$kind"
export OARGALA_TEST_X_SERVER=$kind X11_TOOL
"$@"
