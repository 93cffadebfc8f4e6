#!/usr/bin/env bash
# Layering: core folders include no SDL, X11 or Windows header, and includes point down the
# layers only (scripts/check-layers.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/check-layers.sh
