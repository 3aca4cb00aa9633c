# Reads the Wine trace of one start (-v main=<main module file name>) (WINEDEBUG=+timestamp,+loaddll,+relay with the relayed calls
# that breakdown.sh names) and prints its milestones as "<ms since the program image was mapped>
# <TAB> <what happened>". Wine's timestamps have a resolution of 1 ms.

function quoted(text) {  # the first L"..." of a trace line, unescaped
  if (!match(text, /L"[^"]*"/)) return "?"
  text = substr(text, RSTART + 2, RLENGTH - 3)
  gsub(/\\\\/, "\\", text)
  return text
}
function file_named(text) { text = quoted(text); sub(/.*\\/, "", text); return text }
function mark(what) { printf "%.0f\t%s\n", now - start, what }

{ split($0, field, ":"); now = field[1] * 1000; line = tolower($0) }

!start && /trace:loaddll:.*Loaded L".*\.exe"/ {
  start = now; thread = field[2]; mark(file_named($0) " mapped, static imports loading"); next
}
!start { next }
# Only the measured program's main thread: a program it starts writes to the same trace.
field[2] != thread { next }
{ last = now }
/trace:loaddll:build_module Loaded/ { loaded++ }
!attaching && line ~ /call pe dll/ { attaching = 1; mark(loaded " DLLs mapped, DllMains running"); next }
line ~ /starting thread proc/ { mark("entry point reached"); next }
line ~ /call user32\.getdc\(/ { mark("GetDC (display check)"); next }
line ~ /ret  user32\.releasedc\(/ { mark("display check done"); next }
line ~ /call kernel32\.loadlibraryw\(/ {
  loading = file_named($0); if (tolower(loading) == tolower(main)) inMain = 1; mark("LoadLibraryW " loading); next
}
line ~ /ret  kernel32\.loadlibraryw\(/ {
  mark("  " loading (line ~ /retval=00000000 / ? " not found" : " loaded and initialised")); next
}
line ~ /call shell32\.shgetfolderpathw\(/ { mark("SHGetFolderPathW"); next }
line ~ /call advapi32\.regopenkeyexw\(/ { mark("RegOpenKeyExW " quoted($0)); next }
line ~ /ret  advapi32\.regopenkeyexw\(/ { mark(line ~ /retval=00000000 / ? "  key opened" : "  no such key"); next }
line ~ /call kernel32\.getprivateprofilesectionw\(/ { mark("pre-loaded modules list read"); next }
line ~ /call (ole32|combase)\.coinitializeex\(/ { mark("CoInitializeEx (document service)"); next }
line ~ /ret  (ole32|combase)\.coinitializeex\(/ { mark("  COM ready"); next }
line ~ /call (ole32|combase)\.cocreateinstance\(/ { mark("CoCreateInstance of the XML document"); next }
line ~ /ret  (ole32|combase)\.cocreateinstance\(/ { mark("  document created"); next }
line ~ /call (ole32|combase)\.couninitialize\(/ { mark("CoUninitialize (parameter file written)"); next }
line ~ /call kernel32\.createprocessw\(/ { mark("CreateProcessW start screen"); next }
line ~ /ret  kernel32\.createprocessw\(/ { mark("  start screen created"); next }
!writing && inMain && line ~ /call kernel32\.writefile\(/ { writing = 1; mark("RunAppW writes its report"); next }
line ~ /call kernel32\.exitprocess\(/ { exiting = 1; mark("ExitProcess"); next }
exiting && line ~ /call pe dll .*reason=process_detach/ { detached++; if (detached == 1) mark("  first DLL detaching") }
END { if (start) { now = last; mark("  " detached " DLLs detached, the main thread's last trace line") } }
