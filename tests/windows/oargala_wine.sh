#!/bin/sh
# oargala_wine.sh: runs the Windows build (OARGALA_EXE) under Wine with the
# arguments given, so the X tests' helpers can start it like the Linux one.
exec wine "$OARGALA_EXE" "$@"
