#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when some are missing.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config git
      libgtest-dev libgmock-dev libbenchmark-dev
      libicu-dev libsqlite3-dev zlib1g-dev libssl-dev libexpat1-dev
      libminizip-dev libcjson-dev zip unzip libpng-dev libjpeg-dev libgif-dev duktape-dev libpsl-dev
      libfreetype-dev fonts-wqy-microhei libdeflate-dev clang clang-format libedit-dev python3 python3-pil
      "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
