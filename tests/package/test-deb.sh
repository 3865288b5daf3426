#!/usr/bin/env bash
# Makes the Debian package from a finished build, checks what it holds,
# unpacks it as dpkg lays it out and runs the program from there with a home
# of its own: the database is copied into the user's data folder, a draw
# stored there is still read after a restart, and lintian finds no error.
#   test-deb.sh BUILD-FOLDER VERSION
set -euo pipefail

build=$(realpath "$1")
version=$2
id=io.github.tombolix.Tombolix

work=$(mktemp -d)
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# --- The package -----------------------------------------------------------
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; fail "cpack could not make the package"; }
deb=$(ls "$work"/out/tombolix_"$version"_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no tombolix_${version}_*.deb made"
echo "Made $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = tombolix ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Computed by dpkg-shlibdeps from the libraries the program links…
for library in libc6 libqt6core6 libqt6widgets6 libqt6sql6 libfreexl1; do
    grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library"
done
# …and the plug-in it cannot see.
grep -q libqt6sql6-sqlite <<<"$depends" || fail "Depends lacks libqt6sql6-sqlite"
grep -q qt6-translations-l10n <<<"$depends" || fail "Depends lacks qt6-translations-l10n"
if dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -qv '^root/root$'; then
    fail "files not owned by root"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
expected=(
    usr/bin/tombolix
    usr/bin/tombolix-xlsread
    usr/share/tombolix/Data.mdb
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/man/man1/tombolix.1.gz
    usr/share/man/man1/tombolix-xlsread.1.gz
    usr/share/doc/tombolix/copyright
    usr/share/doc/tombolix/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
[ -x "$root/usr/bin/tombolix" ] || fail "/usr/bin/tombolix is not executable"
if [ -e "$root/usr/bin/Data.mdb" ]; then
    fail "a database beside the installed program would be used instead of the user's"
fi

desktop=$root/usr/share/applications/$id.desktop
for line in "Type=Application" "Name=澄曜抽奖软件" "Categories=Office;" "Exec=tombolix" "Icon=$id"; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -q '^Comment=.*[^ -~]' "$desktop" || fail "the desktop entry lacks a Chinese comment"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" \
        || fail "appstreamcli validate"
fi
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" \
    || fail "the AppStream data names another version"

python3 - "$root/usr/share/tombolix/Data.mdb" <<'PY' || fail "the shipped database is not the empty five tables"
import sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
tables = {name for (name,) in db.execute("SELECT name FROM sqlite_master WHERE type='table'")}
wanted = {"奖次表", "奖项表", "号码表", "结果表", "预设表"}
assert wanted <= tables, tables
for table in wanted:
    assert db.execute(f"SELECT COUNT(*) FROM {table}").fetchone()[0] == 0, table
PY

# --- The unpacked program --------------------------------------------------
program=$root/usr/bin/tombolix
[ "$("$program" --version)" = "tombolix $version" ] || fail "tombolix --version"
# The .xls helper runs from where it is installed, its libraries found.
"$root/usr/bin/tombolix-xlsread" "$(dirname "$0")/../data/entrants.xls" </dev/null >"$work/sheets.bin" \
    || fail "tombolix-xlsread cannot read a workbook"
[ -s "$work/sheets.bin" ] || fail "tombolix-xlsread sent nothing"

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
data=$XDG_DATA_HOME/Tombolix/Tombolix
backups=$data/备份

# Starts the program and waits for the day's first backup, which is taken
# from the database it opened, before any window shows; then ends it.
run_until_backed_up() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    for _ in $(seq 1 300); do
        if [ -d "$backups" ] && [ -n "$(ls -A "$backups")" ]; then
            break
        fi
        kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log"; fail "the program ended at start"; }
        sleep 0.1
    done
    [ -n "$(ls -A "$backups" 2>/dev/null)" ] || { cat "$work/program.log"; fail "no backup beside $data"; }
    sleep 1
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log"; fail "the program ended after its backup"; }
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

run_until_backed_up
[ -f "$data/Data.mdb" ] || fail "no Data.mdb copied into $data"
cmp -s "$data/Data.mdb" "$root/usr/share/tombolix/Data.mdb" || fail "the copy differs from the shipped database"
[ -w "$data/Data.mdb" ] || fail "the user's copy cannot be written"
echo "First start: the database was copied to $data"

python3 - "$data/Data.mdb" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute("INSERT INTO 奖次表 (抽奖内容, 速度, 定时, 定长) VALUES ('年会抽奖', '50', '0', '0')")
db.commit()
PY

# The second start must open that same file, not a fresh copy: the backup it
# takes holds the draw.
rm -rf "$backups"
run_until_backed_up
python3 - "$data/Data.mdb" "$backups"/*.mdb <<'PY' || fail "the draw did not survive the restart"
import sqlite3, sys
for path in sys.argv[1:]:
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    names = [name for (name,) in db.execute("SELECT 抽奖内容 FROM 奖次表")]
    assert names == ["年会抽奖"], (path, names)
PY
echo "Second start: the program read the draw stored in $data/Data.mdb"

# --- lintian -----------------------------------------------------------------
if ! command -v lintian >/dev/null; then
    echo "Installing lintian"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo -n"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends lintian >/dev/null \
        || fail "lintian is missing and could not be installed (scripts/install-deps.sh installs it)"
fi
lintian_status=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
cat "$work/lintian.log"
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
echo "lintian: $(grep -c '^E:' "$work/lintian.log" || true) errors, $(grep -c '^W:' "$work/lintian.log" || true) warnings"
echo "PASS"
