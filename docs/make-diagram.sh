#!/usr/bin/env bash
# Renders docs/architecture.svg from docs/architecture.dot. Installs Graphviz when `dot` is
# missing (through sudo when not root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v dot >/dev/null 2>&1; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update
    "${sudo_cmd[@]}" apt-get install -y graphviz
fi

dot -Tsvg "$here/architecture.dot" -o "$here/architecture.svg"
echo "wrote $here/architecture.svg"
