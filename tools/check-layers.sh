#!/bin/sh
# Fails when a source file includes a header from a folder above its own layer and the include is
# not on the allow-list (tools/layers-allow.txt). Checks the source tree it lives in, or the tree
# given as its argument. Run from anywhere; the tests run it too.
set -eu
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# The layers, lowest first. A file may include headers of its own folder and of folders before it.
layers="platform core gfx terrain bike race present net script ui editor game"

allow=tools/layers-allow.txt
[ -f "$allow" ] || allow=/dev/null
dirs=""
for d in $layers; do [ -d "$d" ] && dirs="$dirs $d"; done
[ -n "$dirs" ] || exit 0

# grep prints file:line:text; awk ranks the including file's folder and the included one.
# shellcheck disable=SC2086
found=$(grep -rn --include='*.cpp' --include='*.h' \
            '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]*/[^"]*"' $dirs |
        awk -v layers="$layers" -v allow="$allow" '
            BEGIN {
                n = split(layers, l, " ")
                for (i = 1; i <= n; i++) rank[l[i]] = i
                while ((getline line < allow) > 0) if (line !~ /^#/) allowed[line] = 1
            }
            {
                file = $0; sub(/:.*/, "", file)
                target = $0; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
                split(file, f, "/"); split(target, t, "/")
                if ((t[1] in rank) && rank[t[1]] > rank[f[1]] && !((file " " target) in allowed))
                    print file " includes " target ", a layer above its own"
            }')
[ -z "$found" ] && exit 0
echo "$found"
echo "Move the code to the right layer, call up through a hook the lower folder owns, or name the"
echo "include in $allow with its reason."
exit 1
