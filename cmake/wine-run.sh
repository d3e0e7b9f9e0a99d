#!/bin/sh
# Runs a Windows program under Wine for the tests of the MinGW build:
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# PREFIX is the Wine prefix to use. It is created on first use, under a lock,
# with Wine's set-up chatter sent to PREFIX.log rather than to the test's
# standard error; PREFIX.ready marks it done. Wine's debug channels are
# switched off, so the program's standard output, standard error and exit
# status are its own.
set -e
prefix=$1
shift
WINEPREFIX=$prefix
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
if [ ! -f "$prefix.ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix.ready" ]; then
            wineboot --init >"$prefix.log" 2>&1
            touch "$prefix.ready"
        fi
    ) 9>"$prefix.lock"
fi
exec wine "$@"
