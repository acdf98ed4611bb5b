#!/bin/sh
# Runs a test program under umockdev's preload, in a TMPDIR of its own: a killed run leaves its
# testbed folder behind, and runs must not see each other's.
dir=$(mktemp -d "${TMPDIR:-/tmp}/twg-umockdev.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
trap 'exit 130' INT TERM
export TMPDIR="$dir"
# The sanitizer runtime is not first in the library order under the preload.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
umockdev-wrapper "$@"
