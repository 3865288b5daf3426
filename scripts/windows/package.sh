#!/usr/bin/env bash
# Makes the Windows packages from build-win64 (scripts/windows/build.sh):
#   build-win64/package/Tombolix-<version>-win64-setup.exe     the installer (NSIS)
#   build-win64/package/Tombolix-<version>-win64-portable.zip  a folder to carry on a USB stick
# The installer puts the programs in <Program Files>\Tombolix\bin and the empty
# database in ...\share\tombolix, which the program copies into the user's
# own data folder; the portable folder keeps Data.mdb beside tombolix.exe.
set -euo pipefail
source "$(dirname "$0")/common.sh"

bin=$win_build/bin
version=$(sed -n 's/^project(Tombolix VERSION \([0-9.]*\).*/\1/p' "$win_root/CMakeLists.txt")
out=$win_build/package
rm -rf "$out"
mkdir -p "$out"

# What runs: the programs, their DLLs, the Qt plug-ins and translations.
stage_programs() {
    local folder=$1
    mkdir -p "$folder"
    cp "$bin/tombolix.exe" "$bin/tombolix-xlsread.exe" "$bin/tombolix-verify.exe" "$folder/"
    win_deploy "$folder"
}

empty=$win_build/packaging/Data.mdb
[ -f "$empty" ] || { echo "no empty database in the build: $empty" >&2; exit 1; }

installed=$out/installed
stage_programs "$installed/bin"
mkdir -p "$installed/share/tombolix"
cp "$empty" "$installed/share/tombolix/Data.mdb"
mkdir -p "$installed/share/doc/tombolix"
cp "$win_root/docs/verifiable-draw.md" "$win_root/docs/verifiable-draw-example.json" "$installed/share/doc/tombolix/"
cp "$win_build/src/app/tombolix.ico" "$out/tombolix.ico"
setup=$out/Tombolix-$version-win64-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$installed" -DOUTFILE="$setup" \
    "$win_root/packaging/windows/tombolix.nsi" >&2

portable=$out/Tombolix-$version-win64-portable
stage_programs "$portable"
cp "$empty" "$portable/Data.mdb"
cp "$win_root/docs/verifiable-draw.md" "$win_root/docs/verifiable-draw-example.json" "$portable/"
(cd "$out" && rm -f "$(basename "$portable").zip" && zip -qr "$(basename "$portable").zip" "$(basename "$portable")")

echo "$setup"
echo "$portable.zip"
