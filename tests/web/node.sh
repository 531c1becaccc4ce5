#!/bin/sh
# Runs the WebAssembly build's vorla.js under Node.js as the native program
# runs: on a stack that holds the native depth limits. V8 is told it has 64
# MiB (kInterpreterStackBytes, shell/run.h), and the process's stack may grow
# past that, so that a script never outgrows it unseen.
#
# usage: node.sh NODE VORLA_JS [ARGUMENTS...]
node=$1
script=$2
shift 2
ulimit -s unlimited 2>/dev/null || ulimit -s "$(ulimit -H -s)"
exec "$node" --stack-size=65536 "$script" "$@"
