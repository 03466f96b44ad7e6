#!/usr/bin/env bash
# Installs the Debian packages Kaltra builds and tests with, when any is missing, and the extra
# packages a script names after them:
#
#   bash tools/packages.sh [--no-recommends] [package ...]
#
# A package of another architecture (name:i386) adds that architecture to dpkg first.
set -euo pipefail
options=()
if [ "${1:-}" = "--no-recommends" ]; then
  options+=(--no-install-recommends)
  shift
fi
packages=(cmake g++ make libgtest-dev libbenchmark-dev libeigen3-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  for p in "${missing[@]}"; do
    case "$p" in
      *:*)
        arch=${p#*:}
        dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo_cmd dpkg --add-architecture "$arch"
        ;;
    esac
  done
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
