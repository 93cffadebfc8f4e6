#!/usr/bin/env bash
# Installs a built .deb with apt on a fresh Debian 12 root and runs the programs there.
#   packaging/check-fresh-install.sh FPU_SAMPLE.deb
# FRESH_MACHINE names the tool that makes the fresh root (it clones a git folder into it and
# runs a command there; needs root): the .deb travels in a throw-away repository of its own.
set -euo pipefail
deb=$(realpath "$1")
fresh=${FRESH_MACHINE:?set FRESH_MACHINE to the fresh-machine tool}
here=$(cd "$(dirname "$0")" && pwd)
version=$(dpkg-deb -f "$deb" Version)

carrier=$(mktemp -d)
trap 'rm -rf "$carrier"' EXIT
cp "$deb" "$carrier/"
cp "$here/../tests/replay/scripts/string_art.txt" "$carrier/script.txt"
cat >"$carrier/check.sh" <<CHECK
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends ./$(basename "$deb") >/dev/null
for p in fpu-sample fpu-trace-viewer fpu-sample-replay; do
  command -v "\$p"
  if ldd "\$(command -v "\$p")" | grep 'not found'; then echo "\$p: missing libraries"; exit 1; fi
done
fpu-sample --version | tee version.txt
grep -qF "$version" version.txt
cd "\$(mktemp -d)"
fpu-sample-replay --trace none --record run.gif /root/project/script.txt >/dev/null
test -s string_art.png && test -s run.gif
echo "fresh install ok: \$(dpkg-query -W fpu-sample)"
CHECK
git -C "$carrier" init -q
git -C "$carrier" add -A
git -C "$carrier" -c user.name=check -c user.email=check@localhost commit -qm carrier
"$fresh" "$carrier" 'bash check.sh'
