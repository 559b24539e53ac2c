#!/usr/bin/env bash
# Builds the release packages and checks them: the .deb installs and brings the
# program, its desktop entry and icon; tavrel.exe imports only system DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

(cd build/linux && cpack >/dev/null)
(cd build/windows && cpack >/dev/null)
deb=$(ls build/linux/packages/tavrel_*_amd64.deb)
zip=$(ls build/windows/packages/tavrel-*-windows-x64.zip)
echo "packages: $deb $zip"

unzip -l "$zip" | grep -q ' tavrel.exe$' || { echo "zip lacks tavrel.exe"; exit 1; }
unzip -l "$zip" | grep -q ' README.md$' || { echo "zip lacks README.md"; exit 1; }

"${sudo[@]}" dpkg -i "$deb" >/dev/null
for f in /usr/bin/tavrel /usr/share/applications/tavrel.desktop /usr/share/icons/hicolor/64x64/apps/tavrel.png; do
  [ -e "$f" ] || { echo "the .deb did not install $f"; exit 1; }
done
dpkg-deb -f "$deb" Depends

system='^(kernel32|user32|gdi32|comdlg32|comctl32|advapi32|shell32|ole32|shcore|uxtheme|msvcrt|ntdll|imm32|winmm)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p build/windows/app/tavrel.exe | awk '/DLL Name:/ {print tolower($3)}')
echo "tavrel.exe $(stat -c %s build/windows/app/tavrel.exe) bytes, imports:" $imports
for dll in $imports; do
  [[ $dll =~ $system ]] || { echo "tavrel.exe imports a non-system DLL: $dll"; exit 1; }
done
echo "packages: ok"
