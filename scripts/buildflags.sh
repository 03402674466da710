# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the build scripts: Debian's hardening flags (dpkg-buildflags) as CMake arguments in the
# array deb_cmake_flags. CMake reads no CPPFLAGS, so those join the compiler flags. The file-path
# rewriting options are left out: they put the build folder's path on every command line, which
# would keep ccache from sharing results between checkouts.
deb_cmake_flags=()
if command -v dpkg-buildflags >/dev/null; then
    export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath"
    deb_cppflags=$(dpkg-buildflags --get CPPFLAGS)
    deb_cmake_flags=(
        "-DCMAKE_C_FLAGS=$deb_cppflags $(dpkg-buildflags --get CFLAGS)"
        "-DCMAKE_CXX_FLAGS=$deb_cppflags $(dpkg-buildflags --get CXXFLAGS)"
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
        "-DCMAKE_SHARED_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
    )
    unset deb_cppflags
fi

# Builds `build` for packages: configured with Debian's hardening flags unless it is configured
# already, then brought up to date.
build_for_packages() {
    local source=$1 build=$2
    if [ ! -f "$build/CPackConfig.cmake" ]; then
        cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${deb_cmake_flags[@]}"
    fi
    cmake --build "$build" -j "$(nproc)"
}
