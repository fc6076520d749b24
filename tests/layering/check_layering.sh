#!/usr/bin/env bash
# The core folders must build and run without a display: they may not include Qt's GUI modules
# or any folder above them. The compiler only stops the unqualified <QPainter> form; this also
# catches <QtGui/QPainter> and includes of our own display-side folders.
set -u
src=${1:?source folder}
status=0
for core in platform record analysis simulator acquisition config storage mail interchange records; do
  [ -d "$src/$core" ] || continue
  hits=$(grep -rn -E '#\s*include\s*[<"](QtGui|QtWidgets|QtPrintSupport|(display|widgets|dialogs|app|cli)/)' \
         "$src/$core" --include='*.h' --include='*.cpp' || true)
  if [ -n "$hits" ]; then
    echo "core folder '$core' reaches the display side:"; echo "$hits"; status=1
  fi
done
# The order among the core folders themselves.
check() { # folder, forbidden folders...
  local f=$1; shift
  [ -d "$src/$f" ] || return 0
  for bad in "$@"; do
    if grep -rn -E "#\s*include\s*\"$bad/" "$src/$f" --include='*.h' --include='*.cpp'; then
      echo "'$f' must not include '$bad'"; status=1
    fi
  done
}
check platform record simulator acquisition config storage mail records
check record simulator acquisition config storage mail records
check acquisition simulator config storage mail records
check config record simulator acquisition storage mail records
check mail record simulator acquisition config storage records
check storage simulator acquisition config mail records
# The simulator is the device's end of the line: it may use platform and nothing else of ours,
# so that neither the decoder's nor the record's view of the stream leaks into it.
only() { # folder, allowed folders...
  local f=$1; shift
  [ -d "$src/$f" ] || return 0
  local line folder
  while IFS= read -r line; do
    folder=$(sed -E 's/^[^"]*"([^/"]+)\/.*/\1/' <<<"${line#*:*:}")
    if [ "$folder" != "$f" ] && [[ " $* " != *" $folder "* ]]; then
      echo "$line"; echo "'$f' may include only $*, not '$folder'"; status=1
    fi
  done < <(grep -rn -E '#\s*include\s*"[^/"]+/' "$src/$f" --include='*.h' --include='*.cpp')
}
only simulator platform
# The analysis measures signals: it knows the record and nothing that stores, sends or shows it.
only analysis platform record
# The interchange helper's code (libbiosig, DCMTK) stands on the stores below it; the records
# layer reaches it only by starting its process, never by including it.
only interchange platform record analysis storage
# The records layer is what the front-ends call; it stands on the stores below it only.
only records platform record analysis storage mail config
# The dialogs sit below the record view that opens them.
check dialogs widgets app
exit $status
