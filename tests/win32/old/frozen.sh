#!/usr/bin/env bash
# Holds the frozen header (old/quilmar/quilmar.h) to include/quilmar/quilmar.h: every line of it
# but the first is a line of quilmar.h, in the same order, as _clsAVLt2 and what came with it were
# only added. Run as: frozen.sh FROZEN CURRENT
set -euo pipefail
awk 'NR == FNR { if (FNR > 1) want[++n] = $0; next }
     i < n && $0 == want[i + 1] { ++i }
     END { if (i < n) { printf "%s, line %d, is not in %s after the line before it:\n  %s\n",
                               ARGV[1], i + 2, ARGV[2], want[i + 1]; exit 1 } }' "$1" "$2"
