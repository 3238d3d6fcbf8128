#!/usr/bin/env bash
# Builds the packages (scripts/package.sh) and tests each by installing it:
#   the .deb: lintian and desktop-file-validate clean; dpkg -i; the installed kt57-check and kt57-run
#   on the installed example, and kt57-run --studio serving the installed page; man finds the pages;
#   dpkg --purge leaves none of its files behind;
#   the installer: scripts/test-installer-wine.py in a fresh Wine prefix under Xvfb;
#   the zip: the files of a portable copy.
# Installs and purges the package kt57d itself, so it refuses to run where kt57d is installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if dpkg-query -W -f='${Status}' kt57d 2>/dev/null | grep -q installed; then
  echo "test-packages: kt57d is installed here; remove it first (dpkg --purge kt57d)" >&2
  exit 2
fi
for tool in lintian desktop-file-validate man xvfb-run wine unzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "test-packages: '$tool' is missing; scripts/install-deps.sh installs it" >&2
    exit 2
  fi
done

bash scripts/package.sh
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build-package/CPackConfig.cmake)
deb=dist/kt57d_${version}_amd64.deb

# shellcheck source=scripts/test-checks.sh
source scripts/test-checks.sh

echo "== $deb"
lintian_status=0
lintian_out=$(lintian --fail-on error,warning "$deb" 2>&1) || lintian_status=$?
echo "$lintian_out" | grep -v 'running with root privileges' | sed 's/^/   lintian: /' || true
check "lintian reports no error and no warning" equals "$lintian_status" 0
check "desktop-file-validate passes" desktop-file-validate packaging/linux/kt57d.desktop

# What the package puts on the system, and which of its folders were there before it.
work=$(mktemp -d /tmp/kt57-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$' | grep -v '^/$' >"$work/contents"
while read -r path; do
  if [ -d "$path" ]; then echo "$path"; fi
done <"$work/contents" >"$work/folders-before"

"${sudo_cmd[@]}" dpkg -i "$deb" >/dev/null
check "every file of the package is installed" \
  equals "$(while read -r p; do [ -e "$p" ] || echo "$p"; done <"$work/contents")" ""
example=/usr/share/kt57d/examples/demo
check "kt57-run --version from /usr/bin" equals "$(/usr/bin/kt57-run --version)" "kt57-run $version"
check "the installed kt57-check finds nothing to report in the installed example" \
  /usr/bin/kt57-check "$example/KT57Data.txt"
trace=$(cd "$work" && /usr/bin/kt57-run --until 3000 "$example")
check "the installed kt57-run rehearses the installed example: frames sent and answered" \
  equals "$(echo "$trace" | grep -c -E '^[0-9]+ (send|recv) ' | awk '{ print ($1 > 4) }')" 1
# The packaged kt57-run has no page of its own: it must find the installed one from /usr/bin.
(cd "$work" && exec /usr/bin/kt57-run --studio --no-browser "$example" >"$work/studio.out" 2>&1) &
studio=$!
for _ in $(seq 1 100); do grep -qs 'http://' "$work/studio.out" && break; sleep 0.1; done
address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/[0-9a-f]*/' "$work/studio.out" || true)
served=$(python3 -c 'import sys, urllib.request; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1] + "index.html").read())' "$address" | sha256sum) || true
kill -TERM "$studio"
studio_status=0
wait "$studio" || studio_status=$?
check "the installed kt57-run --studio serves the installed page" \
  equals "$served" "$(sha256sum </usr/share/kt57d/studio/index.html)"
check "kt57-run --studio ends on SIGTERM with status 0" equals "$studio_status" 0
check "the installed kt57-run passes the installed example's tests" \
  /usr/bin/kt57-run --test "$example"/tests/*.txt "$example"
check "man -w kt57-run finds the page" equals "$(man -w kt57-run)" /usr/share/man/man1/kt57-run.1.gz
check "man renders kt57d(1) without warnings" \
  equals "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings kt57d 2>&1 >/dev/null)" ""
check "desktop-file-validate passes on the installed entry" \
  desktop-file-validate /usr/share/applications/kt57d.desktop
check "the udev rule sets a 1 ms latency timer" \
  grep -q 'ATTR{latency_timer}="1"' /lib/udev/rules.d/70-kt57-board.rules

"${sudo_cmd[@]}" dpkg --purge kt57d >/dev/null
check "after dpkg --purge nothing of the package is left" \
  equals "$(while read -r p; do
    if [ -e "$p" ] && ! grep -qxF "$p" "$work/folders-before"; then echo "$p"; fi
  done <"$work/contents")" ""

zip=dist/kt57d-${version}-win64.zip
echo "== $zip"
check "the portable copy holds kt57d.exe with kt57-run.exe and kt57-check.exe, and the virtual board's own kt57d.exe beside the substitute" \
  equals "$(unzip -Z1 "$zip" | grep -E '(exe|dll|KT57Data.txt)$' | LC_ALL=C sort | tr '\n' ' ')" \
  "kt57d-${version}-win64/KT57Data.txt kt57d-${version}-win64/kt57-check.exe kt57d-${version}-win64/kt57-run.exe kt57d-${version}-win64/kt57d.exe kt57d-${version}-win64/virtual-board/FTD2XX.dll kt57d-${version}-win64/virtual-board/KT57Data.txt kt57d-${version}-win64/virtual-board/kt57d.exe "
check "the portable copy holds the rehearsal page beside kt57-run.exe" \
  equals "$(unzip -Z1 "$zip" | grep -c "^kt57d-${version}-win64/studio/index.html$")" 1

setup=dist/kt57d-${version}-setup.exe
echo "== $setup"
cmake --build build-win32 --target kt57_post >/dev/null
if timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" python3 scripts/test-installer-wine.py \
  "$setup" build-win32/platform/win32/kt57-post.exe tests/platform/win32/wine/KT57Data.txt; then
  passed=$((passed + 1))
else
  echo "FAIL - the installer under Wine"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
