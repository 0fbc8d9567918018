#!/usr/bin/env bash
# The layers of src/ as the folders draw them: each folder may include its own headers and those
# of the layers below it, never one above. An include that crosses upward fails this test, so that
# the window's folder cannot quietly become the ground the rest stands on again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

declare -A allowed=(
    [platform]="platform"
    [config]="config"
    [remote]="remote config"
    [link]="link config platform"
    [tone]="tone config platform"
    [rtf]="rtf"
    [session]="session tone link config remote platform"
    [app]="app session tone link config remote rtf platform"
)
# The tools beside the window program: the command-line tool and the board simulator (which
# hears and answers on the air with the tone layer).
allowed_cli="session tone link config remote platform"
allowed_tools="link tone config platform"

bad=0
check() {  # check FILE ALLOWED...
    local file=$1
    shift
    local layer
    while read -r layer; do
        [[ " $* " == *" $layer "* ]] && continue
        echo "${file#"$root"/}: includes $layer/, a layer it may not use"
        bad=1
    done < <(sed -n 's/^#include "\([a-z_]*\)\/.*/\1/p' "$file" | sort -u)
}
for folder in "${!allowed[@]}"; do
    for f in "$root"/src/"$folder"/*.h "$root"/src/"$folder"/*.cpp; do
        [ -e "$f" ] && check "$f" ${allowed[$folder]}
    done
done
for f in "$root"/cli/*.cpp; do check "$f" $allowed_cli; done
for f in "$root"/tools/*.cpp; do check "$f" $allowed_tools; done
[ "$bad" -eq 0 ] && echo "every include stays within its layer or below"
exit "$bad"
