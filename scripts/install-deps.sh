#!/usr/bin/env bash
# Installs the Debian 12 packages that build, test and run Tombolix, skipping those already present.
#   scripts/install-deps.sh [PACKAGE…]   installs the packages named instead
set -euo pipefail

packages=(
    g++ cmake make pkg-config python3
    qt6-base-dev libqt6sql6-sqlite libgl-dev
    # The stage's sound (QSoundEffect). Brings libqt6multimedia6, which plays
    # WAV through PulseAudio (libpulse0); a desktop's PulseAudio or PipeWire
    # server is the output, and without one the stage is silent.
    qt6-multimedia-dev
    libxlsxwriter-dev libfreexl-dev libzip-dev libsqlite3-dev
    # QR codes of a draw's commitment and of its record's last hash; zbarimg
    # reads them back in the tests, as a phone would.
    libqrencode-dev zbar-tools
    clang libclang-rt-14-dev clang-format
    fonts-wqy-microhei
    # Chinese with a real bold weight for the stage's titles, banner and
    # number: a bold made up from a regular font is lost at 1440 lines and up.
    fonts-noto-cjk
    # Qt's own texts in Chinese: standard buttons, file, colour and font dialogs.
    qt6-translations-l10n
    # The stage is looked at on a real X server: Xvfb with a window manager,
    # real keys and clicks from xdotool, the screen taken with xwd, the window
    # manager seen ready with xprop.
    xvfb xauth openbox xdotool x11-apps x11-utils
    # The Debian package (scripts/package.sh) and its test: CPack's
    # dpkg-shlibdeps, lintian, and the checks of the menu entry and AppStream data.
    dpkg-dev lintian desktop-file-utils appstream
)
if [ $# -gt 0 ]; then
    packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
