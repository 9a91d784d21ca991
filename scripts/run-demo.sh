#!/usr/bin/env bash
# Builds the collector and runs it on the demo data: installs what is
# missing, builds build/release, generates the demo data folder in a fresh
# scratch folder (.../Tessaly/Data), writes a registry export naming it and
# runs tessaly-zipper with it: in a window when a display is available, on
# the console otherwise (TESSALY_UI=console forces the console). Prints where
# the archive went and exits with the program's status.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target tessaly-zipper

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-demo.XXXXXX")
data="$scratch/Tessaly/Data"
mkdir -p "$data"
echo "run-demo: writing the demo data folder $data"
python3 demo/make_demo_data.py "$data"

python3 - demo/registry.reg.in "$data" >"$scratch/registry.reg" <<'PY'
import sys
template, data = sys.argv[1], sys.argv[2]
escaped = data.replace("\\", "\\\\").replace('"', '\\"')
sys.stdout.write(open(template).read().replace("@DATA_PATH@", escaped))
PY
export TESSALY_REGISTRY="$scratch/registry.reg"

if [[ -n "${DISPLAY:-}" && "${TESSALY_UI:-}" != console ]]; then
  echo "run-demo: starting tessaly-zipper in a window on $DISPLAY"
else
  echo "run-demo: starting tessaly-zipper on the console"
fi
status=0
build/release/app/tessaly-zipper || status=$?

echo "run-demo: tessaly-zipper exited with status $status"
echo "run-demo: the archive is $scratch/Tessaly/Orvane.zip; its volumes:"
ls -l "$scratch/Tessaly/" | grep -i 'orvane' || echo "  (none written)"
echo "run-demo: registry export: $TESSALY_REGISTRY"
exit $status
