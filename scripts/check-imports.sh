#!/usr/bin/env bash
# Checks that the exe loads no DLL that could be planted beside it:
#   check-imports.sh PATH/TO/nomaclip.exe
# A program started from Downloads looks most DLLs it imports up in its own folder first, so
# every DLL in its import and delay-import tables must be one Windows maps from the system
# folder whatever lies beside the exe. Anything else (bcrypt.dll, crypt32.dll, ...) has to be
# loaded at run time with LoadLibraryExW(..., LOAD_LIBRARY_SEARCH_SYSTEM32).
# Prints each DLL with its verdict; exits 1 naming the offending DLLs, 2 when the exe cannot
# be read. Needs the mingw-w64 objdump and nm ($OBJDUMP, default x86_64-w64-mingw32-objdump,
# and the nm beside it).
set -euo pipefail
exe="${1:?usage: check-imports.sh EXE}"
objdump="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
nm="${objdump%objdump}nm"

# The KnownDLLs of Windows 10 and 11, which the loader maps from the system folder before
# looking anywhere else, and ntdll, which every process has mapped before the exe's imports.
system_first=" advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf
 msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32
 ws2_32 ntdll "
# comctl32 is not a KnownDLL, but the exe's manifest binds it to the side-by-side Common
# Controls 6 assembly, and side-by-side redirection comes before the application folder in the
# search order. It is only allowed while the embedded manifest still names that assembly.
sxs_assembly="Microsoft.Windows.Common-Controls"

if [ ! -f "$exe" ] || ! headers="$("$objdump" -p "$exe")"; then
    echo "FAIL cannot read $exe"
    exit 2
fi

# Regular imports: objdump interprets the import table.
mapfile -t imported < <(sed -n 's/^\tDLL Name: //p' <<<"$headers")
if [ "${#imported[@]}" -eq 0 ]; then
    echo "FAIL no import table found in $exe"
    exit 2
fi

# Delay imports: objdump 2.40 does not interpret them, so the descriptors are read from the
# file. They come from the data directory (MSVC's linker fills it) and from the
# __DELAY_IMPORT_DESCRIPTOR_ symbols, as GNU ld leaves that directory empty.
image_base=$((0x$(awk '$1 == "ImageBase" {print $2}' <<<"$headers")))
sections="$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ {print $4, $3, $6}')" # vma size file-offset

file_offset() { # virtual address -> file offset, fails outside the sections with file data
    local va=$1 vma size offset
    while read -r vma size offset; do
        if ((va >= 0x$vma && va < 0x$vma + 0x$size)); then
            echo $((0x$offset + va - 0x$vma))
            return 0
        fi
    done <<<"$sections"
    return 1
}
u32_at() { # file offset -> little-endian 32-bit value
    od -An -v -tu4 --endian=little -j "$1" -N 4 "$exe" | tr -d ' '
}
string_at() { # file offset -> zero-terminated string
    dd if="$exe" iflag=skip_bytes,count_bytes skip="$1" count=260 status=none | tr '\0' '\n' | sed -n 1p
}
# One delay-load descriptor: attributes, name, module handle, IAT, INT, bound IAT, unload IAT,
# time stamp, all 32 bits; the addresses are RVAs when bit 0 of the attributes is set.
delay_dll_name() { # descriptor virtual address -> DLL name; empty for the table's end
    local at attributes name
    at=$(file_offset "$1") || return 1
    attributes=$(u32_at "$at")
    name=$(u32_at $((at + 4)))
    ((name != 0)) || return 0
    if ((attributes & 1)); then
        name=$((name + image_base))
    fi
    at=$(file_offset "$name") || return 1
    string_at "$at"
}

delayed=()
unreadable=0
read -r delay_rva delay_size < <(awk '/Delay Import Directory/ {print $3, $4}' <<<"$headers")
if ((0x${delay_rva:-0} != 0 && 0x${delay_size:-0} != 0)); then
    for ((entry = 0; entry + 32 <= 0x$delay_size; entry += 32)); do
        if ! name=$(delay_dll_name $((image_base + 0x$delay_rva + entry))); then
            unreadable=1
            break
        fi
        [ -n "$name" ] || break
        delayed+=("$name")
    done
fi
while read -r va; do
    if name=$(delay_dll_name $((0x$va))) && [ -n "$name" ]; then
        delayed+=("$name")
    else
        unreadable=1
    fi
done < <("$nm" "$exe" 2>/dev/null | awk '$3 ~ /^__DELAY_IMPORT_DESCRIPTOR_/ {print $1}') # none when stripped
if ((unreadable)); then
    echo "FAIL the exe has a delay-import descriptor this script cannot read"
    exit 2
fi

offending=()
check() { # kind dll
    local base
    base="$(tr '[:upper:]' '[:lower:]' <<<"${2%.[dD][lL][lL]}")"
    if [[ "$system_first" == *" $base "* ]]; then
        echo "ok   $1 $2 (mapped from the system folder first)"
    elif [ "$base" = comctl32 ] && grep -aq "$sxs_assembly" "$exe"; then
        echo "ok   $1 $2 (side-by-side Common Controls 6, bound by the manifest)"
    else
        echo "FAIL $1 $2 would be looked up in the exe's folder first"
        offending+=("$2")
    fi
}
for dll in "${imported[@]}"; do
    check import "$dll"
done
for dll in "${delayed[@]+"${delayed[@]}"}"; do
    check delay-import "$dll"
done

if [ "${#offending[@]}" -gt 0 ]; then
    echo "FAIL $(basename "$exe") imports ${offending[*]}: load them with LoadLibraryExW(..., LOAD_LIBRARY_SEARCH_SYSTEM32)"
    exit 1
fi
echo "ok   $(basename "$exe"): ${#imported[@]} imported and ${#delayed[@]} delay-loaded DLLs, all from the system folder"
