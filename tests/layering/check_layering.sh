#!/usr/bin/env bash
# The core folders must build and run without a display: they may not include Qt's GUI modules
# or any folder above them. The compiler only stops the unqualified <QPainter> form; this also
# catches <QtGui/QPainter> and includes of our own display-side folders.
set -u
src=${1:?source folder}
status=0
for core in platform record_model analysis simulator acquisition config storage mail interchange record_io archive document hl7; do
  [ -d "$src/$core" ] || continue
  hits=$(grep -rn -E '#\s*include\s*[<"](QtGui|QtWidgets|QtPrintSupport|(display|report|dialogs|commands|widgets|app|cli)/)' \
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
check platform record_model simulator acquisition config storage mail record_io document
check record_model simulator acquisition config storage mail record_io document
check acquisition simulator config storage mail record_io document
check config record_model simulator acquisition storage mail record_io document
check mail record_model simulator acquisition config storage record_io document
check storage simulator acquisition config mail record_io document
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
only analysis platform record_model
# The interchange helper's code (libbiosig, DCMTK) stands on the stores below it; the records
# layer reaches it only by starting its process, never by including it.
only interchange platform record_model analysis storage
# The records layer is what the front-ends call; it stands on the stores below it only.
only record_io platform record_model analysis storage mail hl7 config
# The archive keeps what the records layer opens; the front-ends use it, never the other way.
only archive platform record_model analysis storage record_io config
# The results for the hospital system are built from what the analysis measured and a doctor
# read; the caller opens the record and makes the report.
only hl7 platform record_model analysis
# The window's document stands on the records layer; the view and the commands stand on it.
only document platform record_model analysis storage record_io
# The dialogs sit below the commands that open them, the commands below the view's frame: the
# commands never see the view, and the view never sees the commands.
check dialogs commands widgets app
check commands widgets app
check widgets commands app
exit $status
