#!/bin/sh
# Runs a Windows program under Wine, headless, in the Wine prefix PREFIX (made
# on first use): no debug output, and no .NET or HTML engine for Wine to offer
# to install. --start starts the prefix's Wine server to stay, and with it the
# helper programs Wine starts once, all with their output away from the
# caller's: a test harness waits for every holder of its pipes, so those
# helpers must not be among them. --stop ends that server and its helpers.
#
# usage: wine.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#        wine.sh PREFIX --start | --stop
WINEPREFIX=$1
shift
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  --start)
    mkdir -p "$WINEPREFIX" || exit 1
    wineserver -p </dev/null >/dev/null 2>&1
    exec wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  --stop)
    wineserver -k </dev/null >/dev/null 2>&1
    exit 0
    ;;
  *) exec wine "$@" ;;
esac
