#!/bin/sh
# A stand-in mail client for the hand-off tests: records the arguments it was started with (one
# per line) and a copy of the message file it was given, then waits, when asked to, until the test
# writes a line into a pipe.
out=$VELMORA_FAKE_CLIENT_OUT
: > "$out/args.tmp"
for a in "$@"; do
    printf '%s\n' "$a" >> "$out/args.tmp"
    case $a in *.eml) cp "$a" "$out/message" ;; esac
done
mv "$out/args.tmp" "$out/args"
if [ -n "$VELMORA_FAKE_CLIENT_PIPE" ]; then
    read -r _ < "$VELMORA_FAKE_CLIENT_PIPE"
fi
exit 0
