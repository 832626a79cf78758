#!/usr/bin/env bash
# Succeeds when Wine can run 32-bit Windows programs here: its loader is a 32-bit Linux program,
# which a kernel without IA32 emulation refuses ("Exec format error").
command -v wine >/dev/null 2>&1 && wine --version >/dev/null 2>&1
