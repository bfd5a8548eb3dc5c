#!/bin/sh
# The checker's output as the maker reads it:  findings.sh STAGED SHOWN <OUTPUT
# Findings about STAGED, the catalog the checker read, name SHOWN, the maker's
# own, whose lines it keeps. The checker gives them as its checks meet them,
# entry by entry in the index's order; they come here in the file's line
# order (the file as a whole first), then the file lines, then the rest (the
# summary) as they came.
STAGED=$1 SHOWN=$2 awk '
    index($0, ENVIRON["STAGED"]) == 1 {
        rest = substr($0, length(ENVIRON["STAGED"]) + 1)
        line = match(rest, /^:[0-9]+: /) ? substr(rest, 2, RLENGTH - 3) : 0
        printf "0\t%s\t%d\t%s%s\n", line, NR, ENVIRON["SHOWN"], rest
        next
    }
    /^file: / { printf "1\t0\t%d\t%s\n", NR, $0; next }
    { printf "2\t0\t%d\t%s\n", NR, $0 }' | LC_ALL=C sort -t "$(printf '\t')" -k1,1n -k2,2n -k3,3n | cut -f4-
