#!/usr/bin/env bash
# Installs, builds and starts Tallybrook on its own database in data/
# (created with the default account on the first run).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
./scripts/build.sh
mkdir -p data
cd data
[ -f ledgr.mdb ] || ../build/bin/tallybrook new-database
exec ../build/bin/tallybrook "$@"
