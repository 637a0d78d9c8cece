#!/usr/bin/env bash
# Runs a Windows QtTest program under Wine for CTest. Its own output does not reach a Unix pipe
# or file from Wine, so the test writes it into a file of ours, which is then shown to CTest.
out=$(mktemp --suffix=.txt)
trap 'rm -f "$out"' EXIT
wine "$@" -o "$(winepath -w "$out"),txt"
status=$?
cat "$out"
exit $status
