#!/usr/bin/env bash
# Installs what is missing, builds the default configuration and opens the editor window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-deps.sh
cmake --preset default
cmake --build --preset default
exec build/default/rideder "$@"
