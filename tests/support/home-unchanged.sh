#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The user's own settings and data folders, as ctest runs the suites: `snapshot STATE` before
# the first test, `compare STATE` after the last. Every test runs with folders of its own,
# so a run of the suites must leave these exactly as they were.
set -euo pipefail
state=$2
list() {
    for folder in "${XDG_CONFIG_HOME:-$HOME/.config}" "${XDG_DATA_HOME:-$HOME/.local/share}"; do
        if [ -d "$folder" ]; then
            find "$folder" -printf '%p %s %T@\n'
        fi
    done | sort
}
case $1 in
snapshot) list >"$state" ;;
compare)
    if ! diff "$state" <(list) >&2; then
        echo "the test suites changed the user's own files (above)" >&2
        exit 1
    fi
    ;;
esac
