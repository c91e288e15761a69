#!/usr/bin/env bash
# Compiles every source of the program (src/ and app/, but src/pty, which is
# the POSIX pseudo-terminal of the emulator, the tests and the bench) for
# Windows in syntax-only mode: Debian's MinGW-w64 cross compiler, the Debian
# Qt headers (which take their Windows side under _WIN32), and the defines and
# include paths of the real build. Nothing is linked or run: this catches a
# POSIX call or type outside the platform seams, not a fault in the Windows
# side's behaviour. Fails when any source fails.
set -euo pipefail
cd "$(dirname "$0")/.."

compiler=x86_64-w64-mingw32-g++-posix
# The cross compiler, and what configuring the real build needs (as tools/setup.sh).
packages=(g++-mingw-w64-x86-64-posix cmake g++ make qt6-base-dev qt6-serialport-dev
    qt6-svg-dev libgl-dev)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_=""
    if [ "$(id -u)" -ne 0 ]; then sudo_="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo_ apt-get update -qq
    $sudo_ apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The real build's compile commands, from a configure of its own (no build).
build=build-windows
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DBUILD_TESTING=OFF >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One response file per source of the program: its flags as the real build
# has them, but the output, -c, -g and -fPIC (an ELF matter). CMake reads the
# JSON and splits the command line as the shell would.
cat >"$work/flags.cmake" <<'EOF'
file(READ "${COMMANDS}" json)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON source GET "${json}" ${i} file)
  string(JSON command GET "${json}" ${i} command)
  file(RELATIVE_PATH relative "${SOURCE}" "${source}")
  separate_arguments(arguments UNIX_COMMAND "${command}")
  list(POP_FRONT arguments)
  set(lines "")
  set(skip FALSE)
  foreach(a IN LISTS arguments)
    if(skip)
      set(skip FALSE)
    elseif(a STREQUAL "-o")
      set(skip TRUE)
    elseif(NOT a MATCHES "^(-c|-g|-fPIC)$" AND NOT a STREQUAL source)
      string(REPLACE "\\" "\\\\" a "${a}")
      string(REPLACE "'" "\\'" a "${a}")
      string(APPEND lines "'${a}'\n")
    endif()
  endforeach()
  if(relative MATCHES "^(src|app)/" AND NOT relative MATCHES "^src/pty/")
    string(REPLACE "/" "+" name "${relative}")
    file(WRITE "${OUT}/${name}.rsp" "${lines}")
    file(APPEND "${OUT}/sources" "${relative}\n")
  endif()
endforeach()
EOF
cmake -DCOMMANDS="$build/compile_commands.json" -DSOURCE="$PWD" -DOUT="$work" \
    -P "$work/flags.cmake"

# Every source the build compiles, and none that it leaves out.
mapfile -t sources < <(sort -u "$work/sources")
for s in $(git ls-files 'src/*.cpp' 'app/*.cpp' | grep -v '^src/pty/'); do
    if [ ! -e "$work/${s//\//+}.rsp" ]; then
        echo "check-windows: $s is in no target of the build" >&2
        exit 1
    fi
done

export compiler work
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -I{} bash -c '
    s=$1; name=${s//\//+}
    if "$compiler" -fsyntax-only "@$work/$name.rsp" "$s" >"$work/$name.log" 2>&1; then
        touch "$work/$name.ok"
    fi' _ {}

failed=0
for s in "${sources[@]}"; do
    name=${s//\//+}
    if [ -e "$work/$name.ok" ]; then
        if [ -s "$work/$name.log" ]; then
            echo "== $s: passes, with warnings"
            cat "$work/$name.log"
        fi
    else
        echo "== $s: FAILS"
        cat "$work/$name.log"
        failed=$((failed + 1))
    fi
done
qt=$(sed -n 's/^#define QT_VERSION_STR "\(.*\)"/\1/p' \
    /usr/include/x86_64-linux-gnu/qt6/QtCore/qconfig.h)
echo "check-windows: $((${#sources[@]} - failed)) of ${#sources[@]} sources compile for" \
    "Windows ($compiler $($compiler -dumpversion), Qt $qt headers)"
((failed == 0))
