#!/usr/bin/env bash
# Checks that a program carries no symbol table and no debug sections, and that the file its debug link
# names is beside it: tools/check_stripped.sh <nm> <objdump> <program>. Status 0 when so, 1 with what
# it found otherwise.
set -u
nm=$1 objdump=$2 program=$3
found=()
symbols=$("$nm" "$program" 2>&1 | grep -v 'no symbols' | head -n 3)
[ -z "$symbols" ] || found+=("symbols: $(tr '\n' ' ' <<<"$symbols")")
sections=$("$objdump" -h "$program" | awk '$2 ~ /^\.(debug|zdebug|symtab|strtab|stab)/ {print $2}' | tr '\n' ' ')
[ -z "$sections" ] || found+=("sections: $sections")
"$objdump" -h "$program" | grep -q '\.gnu_debuglink' || found+=("no debug link")
[ -f "$program.debug" ] || found+=("no $program.debug beside it")
if [ "${#found[@]}" -gt 0 ]; then
  printf '%s: %s\n' "$program" "${found[@]}"
  exit 1
fi
echo "$program: no symbols, no debug sections; its debug link names $(basename "$program").debug"
