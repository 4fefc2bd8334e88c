# checks.sh: what the shell tests share, sourced by each: TMP, a folder of
# their own removed when the script ends; check NAME COMMAND... runs the
# command and says "ok: NAME" or "FAIL: NAME"; checks_done says how many
# passed and failed, and is true when none failed (the script's exit status
# when it is its last command).
TMP=$(mktemp -d "/tmp/oargala-${0##*/}.XXXXXX")
trap 'rm -rf "$TMP"' EXIT
PASSED=0 FAILED=0
check() {
  if "${@:2}"; then
    echo "ok: $1"
    PASSED=$((PASSED + 1))
  else
    echo "FAIL: $1"
    FAILED=$((FAILED + 1))
  fi
}
checks_done() {
  echo "checks: $PASSED passed, $FAILED failed"
  [ "$FAILED" = 0 ]
}
