#!/usr/bin/env bash
# The Windows installer as a user runs it, under Wine: the windows-release build packed by
# CPack (NSIS installer and portable .zip), installed silently, pyxtunectl.exe run from the
# install folder, then uninstalled after the program's log-on entries and LED service were
# set up as the program sets them up: nothing of the program may be left.
#   check-windows-installer.sh   (run by scripts/test-windows.sh inside its Wine prefix)
set -euo pipefail
trap 'echo "FAIL  line $LINENO: $BASH_COMMAND"' ERR
cd "$(dirname "$0")/.."
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}
absent() { [ ! -e "$1" ]; }
says() { [[ "$1" == *"$2"* ]] || { echo "      got: $1"; return 1; }; }
fails() { ! "$@" >/dev/null 2>&1; }

cmake --preset windows-release >/dev/null
cmake --build --preset windows-release
(cd build/windows-release && cpack --config CPackConfig.cmake >/dev/null)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/windows-release/CPackConfig.cmake)
setup=build/windows-release/package/Pyxtune-$version-setup.exe
zip=build/windows-release/package/Pyxtune-$version-portable.zip
check "the installer $(basename "$setup") was made" test -s "$setup"
check "and the portable $(basename "$zip")" test -s "$zip"
check "  which holds the program, Qt and its platform plugin" \
  says "$(unzip -l "$zip")" "platforms/qwindows.dll"

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pyxtune'
folder="$WINEPREFIX/drive_c/Program Files/Pyxtune"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pyxtune"

# Wine's server and its own services on /dev/null, so that none holds a captured output open.
wineserver -p </dev/null >/dev/null 2>&1 || true  # one may be running already
wine cmd /c exit </dev/null >/dev/null 2>&1
wine "$PWD/$setup" /S </dev/null >/dev/null 2>&1
check "a silent install put pyxtune.exe into Program Files" test -f "$folder/pyxtune.exe"
check "  with pyxtunectl.exe, Qt and the Windows platform plugin" \
  test -f "$folder/pyxtunectl.exe" -a -f "$folder/Qt6Widgets.dll" -a -f "$folder/platforms/qwindows.dll"
check "  a Start menu entry" test -f "$menu/Pyxtune.lnk"
# The icon group (resource type 14) that Explorer, the taskbar and the Start menu entry show.
check "  and pyxtune.exe carries the program's icon" \
  says "$(x86_64-w64-mingw32-objdump -p "$folder/pyxtune.exe")" "Entry: ID: 0x00000e,"
has_key() { wine reg query "$@" >/dev/null 2>&1; }
check "  and an entry in Apps & Features" has_key "$uninstall_key" /v UninstallString
out=$(cd "$folder" && wine ./pyxtunectl.exe list 2>&1) || true
check "the installed pyxtunectl.exe lists the simulated card" says "$out" "Back-end: sim - SIMULATED"

# What the program sets up outside its folder: the log-on Run entry and scheduled task, the
# LED service.
wine reg add "$run_key" /v Pyxtune /d '"C:\Program Files\Pyxtune\pyxtune.exe"' /f >/dev/null 2>&1
# Wine's schtasks takes a task only as XML, and keeps it as a file of that name.
task_file="$WINEPREFIX/drive_c/windows/system32/tasks/Pyxtune"
printf '%s\n' '<?xml version="1.0"?>' \
  '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">' \
  '<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>' \
  '<Actions Context="Author"><Exec><Command>C:\Program Files\Pyxtune\pyxtune.exe</Command></Exec></Actions>' \
  '</Task>' | iconv -f UTF-8 -t UTF-16 > "$WINEPREFIX/drive_c/pyxtune-task.xml"
wine schtasks /Create /TN Pyxtune /XML 'C:\pyxtune-task.xml' /F >/dev/null 2>&1
wine sc create LumoraServices 'binPath=' 'C:\Program Files\Pyxtune\pyxtune.exe' >/dev/null 2>&1
check "(the Run entry, task and service to remove are there)" \
  eval 'has_key "$run_key" /v Pyxtune && test -e "$task_file" && wine sc query LumoraServices >/dev/null 2>&1'

# Started as Apps & Features starts it. The copy started only launches a second one from the
# temporary folder and ends, so its exit status tells whether that launch worked, not what the
# uninstall did: what is left afterwards is the uninstaller's result, and the status is shown
# with Wine's output (kept in the build tree) for a failure's cause.
uninstall_log=build/windows-release/uninstall.log
uninstall_status=0
wine "$(winepath -w "$folder/Uninstall.exe")" /S </dev/null >"$uninstall_log" 2>&1 || uninstall_status=$?
if [ "$uninstall_status" -ne 0 ]; then
  echo "      the uninstaller ended with status $uninstall_status; Wine said:"
  tail -n 20 "$uninstall_log" | sed 's/^/      /'
fi
for _ in $(seq 1 600); do [ -e "$folder" ] || break; sleep 0.1; done
sleep 1
check "the silent uninstall left no program folder" absent "$folder"
check "  no Start menu entry" absent "$menu"
check "  no entry in Apps & Features" fails has_key "$uninstall_key"
check "  no Run entry" fails has_key "$run_key" /v Pyxtune
check "  no scheduled task" absent "$task_file"
check "  no LED service" fails wine sc query LumoraServices
[ "$failures" -eq 0 ]
