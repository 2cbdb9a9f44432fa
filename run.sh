#!/usr/bin/env bash
# Builds Dravik and its simulated handheld, then runs the program on it.
# Any options are passed to dravik-sim (see ./run.sh --help).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/bootstrap.sh" run
"$here/scripts/build.sh" "$here/build" --target dravik-sim >/dev/null
exec "$here/build/bin/dravik-sim" "$@"
