#!/usr/bin/env bash
# Builds the libraries the Windows program needs, for x86_64-w64-mingw32,
# from Debian's own source packages of the versions the Linux build uses:
# SQLite (one DLL, for Qt's driver and the entrant writer alike), Qt base
# (Core, Gui, Widgets, Sql, Test, PrintSupport; the SQLite driver and the
# Windows platform and style plug-ins), libzip, libxlsxwriter, FreeXL (over a
# small iconv of our own) and libqrencode.
#
# Everything goes into a cache folder outside the checkout, named by the
# versions; a library already there is not built again, so only the first
# run pays (Qt base: about 45 minutes on two cores).
#   scripts/windows/deps.sh [NAME…]    builds what is missing, prints the prefix
#   TOMBOLIX_WINDOWS_CACHE=DIR         the cache folder (default: ../tombolix-windows-cache)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
"$here/install-deps.sh" >&2

cache=${TOMBOLIX_WINDOWS_CACHE:-$(dirname "$root")/tombolix-windows-cache}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
jobs=$(nproc)
host=x86_64-w64-mingw32

# The source package and version of each library the Linux build links.
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }
qt=$(source_of qt6-base-dev)
sqlite=$(source_of libsqlite3-dev)
libzip=$(source_of libzip-dev)
xlsxwriter=$(source_of libxlsxwriter-dev)
freexl=$(source_of libfreexl-dev)
# Not in the cache's name: a cache made before it came gets it added.
qrencode=$(source_of libqrencode-dev)
name=$(printf '%s-' "$qt" "$sqlite" "$libzip" "$xlsxwriter" "$freexl" | tr '=+~:' '____')
prefix=$cache/win64-${name%-}
sources=$cache/sources
mkdir -p "$prefix" "$sources"

log() { echo "deps: $*" >&2; }
done_mark() { echo "$prefix/.built-$1"; }

# apt-get source needs deb-src entries; they are derived from the machine's
# own sources into a private configuration, so the system's stay untouched.
apt_options=()
prepare_apt() {
    [ ${#apt_options[@]} -gt 0 ] && return
    local apt=$cache/apt
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/archives/partial"
    : >"$apt/sources.list"
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >"$apt/sources.list"
    fi
    rm -f "$apt/sources.list.d/"*
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
    done
    apt_options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
        -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=root")
    log "reading the source package lists"
    apt-get "${apt_options[@]}" -qq update >&2
}

# Unpacks package=version under $sources once; prints the source folder.
# When a mirror lacks a package's Debian part (its debian.tar.xz) but gave
# the .dsc and the upstream tarball, the tarball is unpacked alone once its
# SHA-256 matches the .dsc: a library's own build needs only that.
unpack_upstream() {
    local package=$1 version=$2 folder=$3
    local dsc=$sources/${package}_${version#*:}.dsc
    [ -f "$dsc" ] || return 1
    local sum name
    read -r sum _ name < <(sed -n '/^Checksums-Sha256:/,/^[A-Z]/p' "$dsc" | grep -E ' [^ ]+\.orig\.tar\.[a-z0-9]+$' | head -1)
    [ -n "${name:-}" ] && [ -f "$sources/$name" ] || return 1
    echo "$sum  $sources/$name" | sha256sum -c --quiet - || return 1
    log "the Debian part of $package is missing from the mirror; using $name, checked against the .dsc"
    mkdir -p "$folder"
    tar -xf "$sources/$name" -C "$folder" --strip-components=1
}

fetch() {
    local spec=$1 package=${1%%=*} version=${1#*=}
    local upstream=${version#*:}
    upstream=${upstream%-*}
    local folder=$sources/$package-${upstream}
    if [ ! -d "$folder" ]; then
        prepare_apt
        log "fetching the source of $spec"
        if ! (cd "$sources" && apt-get "${apt_options[@]}" -qq source "$spec" >&2); then
            unpack_upstream "$package" "$version" "$folder" || return 1
        fi
        # dpkg-source names the folder by the upstream version without any
        # +dfsg or ~ suffix in some packages.
        if [ ! -d "$folder" ]; then
            local found
            found=$(find "$sources" -maxdepth 1 -type d -name "$package-*" | sort | tail -1)
            mv "$found" "$folder"
        fi
    fi
    echo "$folder"
}

toolchain=$root/cmake/mingw-w64-x86_64.cmake
cc=$host-gcc-posix

build_sqlite() {
    [ -f "$(done_mark sqlite)" ] && return
    local src
    src=$(fetch "$sqlite")
    local build=$cache/build/sqlite
    rm -rf "$build"
    mkdir -p "$build"
    log "building SQLite"
    # The amalgamation is made on this machine (it runs tclsh and small
    # generators), then compiled for Windows as one DLL.
    (cd "$build" && "$src/configure" --disable-tcl >/dev/null && make -s sqlite3.c >&2)
    local flags=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY=1
        -DSQLITE_ENABLE_DBSTAT_VTAB=1 -DSQLITE_SECURE_DELETE=1 -DSQLITE_ENABLE_FTS5=1 -DSQLITE_ENABLE_JSON1=1
        "-DSQLITE_API=__declspec(dllexport)")
    mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include" "$prefix/lib/pkgconfig"
    $cc "${flags[@]}" -shared "$build/sqlite3.c" -o "$prefix/bin/libsqlite3-0.dll" \
        -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
    cp "$build/sqlite3.h" "$build/sqlite3ext.h" "$prefix/include/" 2>/dev/null \
        || cp "$build/sqlite3.h" "$src/src/sqlite3ext.h" "$prefix/include/"
    local v=${sqlite#*=}
    cat >"$prefix/lib/pkgconfig/sqlite3.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: SQLite
Description: SQL database engine
Version: ${v%%-*}
Libs: -L\${libdir} -lsqlite3
Cflags: -I\${includedir}
PC
    touch "$(done_mark sqlite)"
}

build_qt() {
    [ -f "$(done_mark qtbase)" ] && return
    local src
    src=$(fetch "$qt")
    local build=$cache/build/qtbase
    mkdir -p "$build"
    log "building Qt base (long: about 45 minutes on two cores; resumed where it stopped)"
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_PREFIX_PATH="$prefix" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DBUILD_SHARED_LIBS=ON \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_fontconfig=OFF -DFEATURE_brotli=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON \
        -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF \
        -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF \
        -DSQLite3_INCLUDE_DIR="$prefix/include" -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.dll.a" \
        >"$build/configure.log" 2>&1 || {
        tail -40 "$build/configure.log" >&2
        exit 1
    }
    cmake --build "$build" --parallel "$jobs" >"$build/build.log" 2>&1 || {
        grep -B2 -A8 -m5 'error' "$build/build.log" >&2 || tail -40 "$build/build.log" >&2
        exit 1
    }
    cmake --install "$build" >/dev/null
    touch "$(done_mark qtbase)"
}

# Configures, builds and installs a CMake project for Windows into the prefix.
cmake_library() {
    local component=$1 src=$2
    shift 2
    local build=$cache/build/$component
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON "$@" >/dev/null
    cmake --build "$build" --parallel "$jobs" >/dev/null
    cmake --install "$build" >/dev/null
    touch "$(done_mark "$component")"
}

build_libzip() {
    [ -f "$(done_mark libzip)" ] && return
    log "building libzip"
    cmake_library libzip "$(fetch "$libzip")" \
        -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
        -DENABLE_WINDOWS_CRYPTO=ON -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
}

# Under MinGW libxlsxwriter opens the workbook it writes by its narrow name,
# in the ANSI code page, so 获奖名单.xlsx cannot be written on most systems:
# let it take the wide-name path it has for Microsoft's compiler. (The mark
# is named for the change, so a cache built without it is rebuilt.)
build_xlsxwriter() {
    [ -f "$(done_mark xlsxwriter-wide-names)" ] && return
    log "building libxlsxwriter"
    local src
    src=$(fetch "$xlsxwriter")
    perl -0pi -e 's/#ifdef __MINGW32__\n#undef _WIN32\n#endif\n//' "$src/src/packager.c"
    perl -0pi -e 's/if\(MSVC\)(\s+list\(APPEND LXW_SOURCES third_party\/minizip\/iowin32\.c\))/if(WIN32)$1/' \
        "$src/CMakeLists.txt"
    cmake_library xlsxwriter "$src" \
        -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DUSE_SYSTEM_MINIZIP=OFF
    touch "$(done_mark xlsxwriter-wide-names)"
}

# FreeXL converts a sheet's code page through iconv, which Windows lacks:
# a small iconv over the system's own conversions stands in for it.
build_iconv() {
    [ -f "$(done_mark iconv)" ] && return
    log "building the iconv stand-in"
    local build=$cache/build/iconv
    rm -rf "$build"
    mkdir -p "$build" "$prefix/include" "$prefix/lib"
    $cc -O2 -c "$root/scripts/windows/iconv/iconv.c" -I "$root/scripts/windows/iconv" -o "$build/iconv.o"
    $host-gcc-ar-posix rcs "$prefix/lib/libiconv.a" "$build/iconv.o"
    cp "$root/scripts/windows/iconv/iconv.h" "$root/scripts/windows/iconv/localcharset.h" "$prefix/include/"
    touch "$(done_mark iconv)"
}

build_freexl() {
    [ -f "$(done_mark freexl)" ] && return
    local src
    src=$(fetch "$freexl")
    local build=$cache/build/freexl
    rm -rf "$build"
    mkdir -p "$build"
    log "building FreeXL"
    (cd "$build" && "$src/configure" --host=$host --prefix="$prefix" --enable-shared --disable-static \
        CC=$cc CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" LIBS="-liconv -lkernel32" >/dev/null \
        && make -s -j"$jobs" >/dev/null && make -s install >/dev/null)
    # Built as a static library (libtool makes no DLL of it here): whoever
    # links it links the iconv stand-in too.
    sed -i 's/^Libs: .*/Libs: -L${libdir} -lfreexl -liconv/; s/^Cflags: .*/Cflags: -I${includedir}/' \
        "$prefix/lib/pkgconfig/freexl.pc"
    touch "$(done_mark freexl)"
}

# libqrencode, for the QR codes of a draw's commitment and record: static, so
# no DLL more to ship.
build_qrencode() {
    [ -f "$(done_mark qrencode)" ] && return
    log "building libqrencode"
    cmake_library qrencode "$(fetch "$qrencode")" -DBUILD_SHARED_LIBS=OFF -DWITH_TOOLS=NO -DWITH_TESTS=NO
}

# Named components only (sqlite iconv libzip xlsxwriter freexl qrencode qt), or all.
components=("$@")
[ ${#components[@]} -gt 0 ] || components=(sqlite iconv libzip xlsxwriter freexl qrencode qt)
for component in "${components[@]}"; do
    "build_$component"
done
log "ready: $prefix"
echo "$prefix"
