#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 otherwise.
#
# It writes a 93-byte static i386 program (an ELF header, one program
# header, and "exit(42)" through int 0x80), runs it and checks its status:
# a kernel without IA-32 emulation refuses to start it ("Exec format
# error"), whatever packages are installed, so nothing else needs to be
# there to ask.
set -uo pipefail
probe=$(mktemp "${TMPDIR:-/tmp}/tessaly-i386.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF32 header: class 32, little-endian, EXEC, machine 3 (i386), entry
# 0x08048054, program headers at 52.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00' >>"$probe"
# One PT_LOAD of the whole file at 0x08048000, read and execute.
printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$probe"
printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$probe"
# xor ebx,ebx; mov bl,42; xor eax,eax; inc eax (exit); int 0x80
printf '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[[ $? -eq 42 ]]
