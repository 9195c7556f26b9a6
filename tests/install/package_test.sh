#!/usr/bin/env bash
# package_test.sh BUILD_DIR VERSION [SANITIZERS]: makes the Debian package from the build tree,
# unpacks it into a temporary root and runs the programs from there, with the packaged data
# folder only.
set -uo pipefail
build=$1 version=$2 sanitize=${3:-}

for tool in cpack:cmake dpkg-deb:dpkg dpkg:dpkg objdump:binutils ldd:libc-bin timeout:coreutils; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "FAIL: ${tool%%:*} is not installed (Debian package ${tool##*:})"
    exit 1
  fi
done

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then echo "FAIL $1: expected [$2], got [$3]"; fail=1; else echo "ok   $1"; fi
}
ok() {  # ok NAME COMMAND...: the command succeeds
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi
}

if ! (cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/out") \
    >"$work/cpack.log" 2>&1; then
  echo "FAIL: cpack could not make the package:"; cat "$work/cpack.log"; exit 1
fi
debs=("$work"/out/vantrel_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no vantrel_*.deb made:"; cat "$work/cpack.log"; exit 1; }
deb=${debs[0]}
check "package name" "vantrel_${version}_$(dpkg --print-architecture).deb" "$(basename "$deb")"
root="$work/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack $deb"; exit 1; }
bin="$root/usr/bin"

for file in bin/vantrel bin/vantrel-sim bin/vantrel-cli \
    share/vantrel/INI/InitFile.dat share/vantrel/INI/DeviceModels.dat \
    share/vantrel/PNGRes/Res.Pic share/vantrel/PNGRes/Main.png share/vantrel/PNGRes/E2.r0 \
    share/applications/org.vantrel.Vantrel.desktop \
    share/metainfo/org.vantrel.Vantrel.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.vantrel.Vantrel.svg \
    share/icons/hicolor/48x48/apps/org.vantrel.Vantrel.png \
    share/icons/hicolor/128x128/apps/org.vantrel.Vantrel.png \
    share/icons/hicolor/256x256/apps/org.vantrel.Vantrel.png \
    share/man/man1/vantrel.1 share/man/man1/vantrel-sim.1 share/man/man1/vantrel-cli.1; do
  ok "packaged /usr/$file" test -s "$root/usr/$file"
done
# The data folder is what the programs read, not the desktop files beside it in the sources.
ok "no desktop files in the data folder" test ! -e "$root/usr/share/vantrel/linux"

# The package that installed FILE; with merged /usr a library may be registered under either
# spelling of its folder.
owner_of() {
  local file=$1 alias
  case "$file" in
    /usr/lib/*) alias=${file#/usr} ;;
    /lib/*) alias=/usr$file ;;
    *) alias=$file ;;
  esac
  { dpkg -S "$file" 2>/dev/null || dpkg -S "$alias" 2>/dev/null; } | grep -v '^diversion' |
    head -n1 | cut -d: -f1
}

# Every library a program links directly comes from a package the control file depends on.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depend_names=$(sed -e 's/([^)]*)//g' -e 's/|/,/g' <<<"$depends" | tr ',' '\n' | tr -d ' ')
# A sanitizer build links more than the release build does (the runtimes, and libraries that
# --as-needed would drop): its package is never shipped, so only a release build is held to this.
programs_checked="vantrel vantrel-sim vantrel-cli"
if [ -n "$sanitize" ]; then
  echo "note Depends against direct links: checked by the release build, not this $sanitize one"
  programs_checked=""
fi
for program in $programs_checked; do
  libraries=$(ldd "$bin/$program")
  for soname in $(objdump -p "$bin/$program" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(awk -v so="$soname" '$1 == so && $2 == "=>" {print $3}' <<<"$libraries")
    if [ -z "$path" ] || [ "$path" = "not" ]; then
      echo "FAIL $program: $soname is not found on this system"; fail=1; continue
    fi
    owner=$(owner_of "$(readlink -f "$path")")
    if [ -z "$owner" ]; then
      echo "FAIL $program: no package owns $path"; fail=1; continue
    fi
    if grep -qxF "$owner" <<<"$depend_names"; then
      echo "ok   $program: $soname from $owner"
    else
      echo "FAIL $program: links $soname from $owner, which Depends does not name"; fail=1
    fi
  done
done
ok "depends on the Qt platform plug-ins" grep -qxF qt6-qpa-plugins <<<"$depend_names"

for program in vantrel-cli vantrel-sim vantrel; do
  out=$(QT_QPA_PLATFORM=offscreen timeout 30 "$bin/$program" --version 2>&1)
  code=$?
  check "$program --version exit" 0 $code
  if grep -qF "$version" <<<"$out"; then echo "ok   $program --version"; else
    echo "FAIL $program --version: [$out] does not name $version"; fail=1; fi
done

# The window from the package: no data folder in the working directory, an empty home, so the
# user's folder is filled from /usr/share/vantrel of the unpacked root.
mkdir -p "$work/home" "$work/cwd"
(cd "$work/cwd" && env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  timeout 120 "$bin/vantrel" --screenshot "$work/shots") >"$work/vantrel.log" 2>&1
code=$?
check "vantrel --screenshot exit" 0 $code
[ $code -eq 0 ] || cat "$work/vantrel.log"
for picture in main eq spectrum; do
  png="$work/shots/$picture.png"
  signature=$(head -c 8 "$png" 2>/dev/null | od -An -tx1 | tr -d ' \n')
  ok "screenshot $picture.png is a PNG" test "$signature" = 89504e470d0a1a0a
done
ok "user's data folder seeded from the package" \
  cmp -s "$root/usr/share/vantrel/PNGRes/Res.Pic" "$work/home/.local/share/vantrel/PNGRes/Res.Pic"

# The virtual amplifier and the client from the package talk to each other.
"$bin/vantrel-sim" --port 0 >"$work/sim.log" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 500); do  # at most 10 s
  port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/sim.log")
  [ -n "$port" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.02
done
if [ -z "$port" ]; then
  echo "FAIL: the packaged vantrel-sim did not start:"; cat "$work/sim.log"; exit 1
fi
identity=$(cd "$work/cwd" &&
  HOME="$work/home" timeout 30 "$bin/vantrel-cli" --adaptor "127.0.0.1:$port" identify 2>&1)
check "packaged vantrel-cli identify" "channels=4 model=3 mcu=1.5 dsp=1.0 family=QV" "$identity"
kill "$sim_pid"
wait "$sim_pid"
check "packaged vantrel-sim exits 0 on SIGTERM" 0 $?
sim_pid=

exit $fail
