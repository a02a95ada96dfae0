#!/bin/sh
# shell_start_test.sh DEVIDUDI.EXE WINE-RUN
# devidudi.exe started from a shell under Wine on a script whose folder holds
# blanks, two in a row among them. The way the package's README gives (cmd
# makes the command line from two variables) hands the updater the path as
# it is, and the update is applied; the path as one quoted argument reaches
# the updater quoted, as Wine quotes it, and the updater exits with 100.
set -u
updater="$1"
wine_run="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir -p "$work/Program Files"
cp "$updater" "$work/Program Files/devidudi.exe"
update="$work/PexaMenu  2.0 update"
script="$update/update.txt"

readme_way() {
  DEVIDUDI_EXE="\"$(windows "$work/Program Files/devidudi.exe")\"" \
  DEVIDUDI_SCRIPT="$(windows "$script")" \
    "$wine_run" cmd /c '%DEVIDUDI_EXE% %DEVIDUDI_SCRIPT%'
}
quoted_argument() {
  "$wine_run" "$work/Program Files/devidudi.exe" "$(windows "$script")"
}

failures=0
# case, the exit code expected, whether the file is copied
for row in "readme_way 0 copied" "quoted_argument 100 not-copied"; do
  set -- $row
  rm -rf "$update" "$work/App"
  mkdir -p "$update" "$work/App"
  echo "2.0" > "$update/menu.txt"
  printf 'COP\t%s\t%s\r\n' "$(windows "$update/menu.txt")" "$(windows "$work/App/menu.txt")" \
    > "$script"
  "$1" </dev/null >/dev/null 2>&1
  status=$?
  copied=not-copied
  [ -f "$work/App/menu.txt" ] && copied=copied
  if [ "$status" != "$2" ] || [ "$copied" != "$3" ]; then
    echo "FAIL $1: exit code $status, $copied; expected $2, $3"
    failures=$((failures + 1))
  else
    echo "ok   $1: exit code $status, $copied"
  fi
done
[ "$failures" = 0 ]
