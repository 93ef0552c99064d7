#!/bin/sh
# Installs what Quillmark needs to build, run and test on Debian 12.
set -e
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
$SUDO apt-get update
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    cmake g++ make qt6-base-dev qt6-webengine-dev qt6-declarative-dev qt6-5compat-dev libqt6sql6-sqlite libgl-dev \
    qt6-translations-l10n \
    libgtest-dev fonts-wqy-microhei xvfb xauth x11-utils binutils-mingw-w64-i686 curl zlib1g-dev \
    clang libclang-rt-14-dev \
    desktop-file-utils appstream \
    libstorm-dev libjpeg62-turbo-dev qt6-image-formats-plugins
