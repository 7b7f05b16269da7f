#!/usr/bin/env bash
# Checks a Windows build of the library without running it.
#
#   check_dll.sh exports TARGET DLL   exactly CountInputData and
#                                     GenerateLiabilities, undecorated
#   check_dll.sh imports TARGET DLL   Windows' own DLLs only, none of the
#                                     compiler's runtime
#   check_dll.sh stdcall TARGET DLL   (32-bit) every return of each export
#                                     removes its arguments: ret $0x8 for
#                                     CountInputData, ret $0x68 (104 bytes)
#                                     for GenerateLiabilities
#
# TARGET is i686 or x86_64 (the MinGW-w64 tools used). Prints one line and
# exits 0 when the check holds, 1 when it does not.
set -uo pipefail
what=$1 target=$2 dll=$3
objdump=$target-w64-mingw32-objdump
nm=$target-w64-mingw32-nm
[ -f "$dll" ] || { echo "$what: no such DLL: $dll"; exit 1; }
bits=32
[ "$target" = x86_64 ] && bits=64

# The names of the export table, sorted, on one line.
export_names() {
  "$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk '/^[[:space:]]*\[ *[0-9]+\]/ {print $3}' | sort | tr '\n' ' '
}

# The address of export $1: the image base plus its entry of the export
# address table, in the order of the name table.
export_address() {
  local base rva index
  base=$("$objdump" -p "$dll" | awk '$1 == "ImageBase" {print $2}')
  index=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    awk -v name="$1" '$3 == name {gsub(/[^0-9]/, "", $2); print $2}')
  [ -n "$index" ] || return 1
  rva=$("$objdump" -p "$dll" | sed -n '/Export Address Table -- Ordinal Base/,/^$/p' |
    awk -v want="$index" '/Export RVA/ {n = $2; gsub(/[^0-9]/, "", n); if (n == want) print $5}')
  [ -n "$rva" ] || return 1
  printf '0x%x\n' $((0x$base + 0x$rva))
}

# The return instructions of the function at address $1, up to the next
# symbol of the code (the DLL keeps its symbol table).
returns_of() {
  local start=$1 stop
  # nm prints addresses as hex digits of one width: compared as strings
  local width=$((bits / 4)) padded
  padded=$(printf "%0${width}x" $((start)))
  stop=$("$nm" -n "$dll" | awk -v start="$padded" '$2 ~ /^[Tt]$/ && tolower($1) > start {print "0x" $1; exit}')
  [ -n "$stop" ] || stop=$(printf '0x%x' $((start + 65536)))
  "$objdump" -d --no-show-raw-insn --start-address="$start" --stop-address="$stop" "$dll" |
    awk '$2 ~ /^ret/ {print $2, $3}'
}

case $what in
  exports)
    names=$(export_names)
    if [ "$names" = "CountInputData GenerateLiabilities " ]; then
      echo "exports of the $bits-bit DLL: exactly CountInputData and GenerateLiabilities, undecorated"
      exit 0
    fi
    echo "exports of the $bits-bit DLL: expected CountInputData and GenerateLiabilities, found: $names"
    exit 1
    ;;
  imports)
    imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
    if echo "$imports" | grep -qiE 'libgcc|libstdc|libwinpthread'; then
      echo "imports of the $bits-bit DLL: it needs the compiler's runtime DLLs: $imports"
      exit 1
    fi
    echo "imports of the $bits-bit DLL: Windows' own DLLs only ($imports)"
    exit 0
    ;;
  stdcall)
    report=""
    status=0
    for entry in CountInputData:0x8 GenerateLiabilities:0x68; do
      name=${entry%%:*} bytes=${entry#*:}
      if ! address=$(export_address "$name"); then
        report+="$name not exported; "
        status=1
        continue
      fi
      rets=$(returns_of "$address" | sort | uniq -c | awk '{n = $1; $1 = ""; print substr($0, 2) " (" n ")"}' | paste -sd, -)
      # every return must take the arguments off: one kind of ret, with them
      if [ "$(returns_of "$address" | sort -u)" = "ret \$$bytes" ]; then
        report+="$name returns with ret \$$bytes; "
      else
        report+="$name returns with ${rets:-no ret found}, not ret \$$bytes only; "
        status=1
      fi
    done
    echo "calling convention of the $bits-bit DLL: ${report%; }"
    exit $status
    ;;
  *)
    echo "usage: check_dll.sh exports|imports|stdcall i686|x86_64 DLL" >&2
    exit 2
    ;;
esac
