#!/usr/bin/env bash
# Writes a help2man include for a program with sub-commands: the include
# file given, then a COMMANDS section with the --help text of every
# sub-command (and of theirs in turn).
#   packaging/man/commands.sh PROGRAM BASE.h2m > PAGE.h2m
set -euo pipefail
prog=$1
base=$2
name=$(basename "$prog")

subcommands() {
  "$prog" "$@" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z-]*\) .*/\1/p'
}
# Text as roff: backslashes escaped, no line taken for a request.
roff() {
  sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"
}
section() {
  local help
  help=$("$prog" "$@" --help)
  echo ".SS \"$name $*\""
  sed -n 1p <<<"$help" | roff
  echo ".PP"
  echo ".nf"
  sed -e '1d' -e '/^$/N;/^\n$/D' -e "s|^Usage: [^ ]*|Usage: $name|" <<<"$help" | roff
  echo ".fi"
  local sub
  for sub in $(subcommands "$@"); do section "$@" "$sub"; done
}

cat "$base"
echo
echo "[COMMANDS]"
for sub in $(subcommands); do section "$sub"; done
