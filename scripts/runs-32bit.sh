#!/usr/bin/env bash
# Succeeds when this machine can run 32-bit Windows programs under Wine: the 32-bit loader is
# installed and the kernel runs 32-bit programs (some virtual machines' kernels refuse them).
loader="$(dpkg -L wine32:i386 2>/dev/null | grep -m1 '/lib/wine/wine$' || true)"
[ -n "$loader" ] && "$loader" --version >/dev/null 2>&1
