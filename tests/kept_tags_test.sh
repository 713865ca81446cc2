#!/bin/bash
# The behaviours kept on purpose and their page: every "// KEPT: ..." line of the code or the
# tests is a row of docs/kept-on-purpose.md, and every row there is tagged somewhere in the code.
source="$1"
source "$source/tests/script_checks.sh"
page="$source/docs/kept-on-purpose.md"
code_folders=(app bitmap math raster render scene platform tools)

tags_in() {
    (cd "$source" && grep -rhoE --include='*.cpp' --include='*.h' '// KEPT: .*' "$@" | sed 's|^// KEPT: ||' | sort -u)
}

while IFS= read -r tag; do
    grep -qF "| \`$tag\` |" "$page" || fail "tagged but not on the page: $tag"
done < <(tags_in "${code_folders[@]}" tests)

code_tags=$(tags_in "${code_folders[@]}")
while IFS= read -r tag; do
    grep -qxF "$tag" <<< "$code_tags" || fail "on the page but tagged nowhere in the code: $tag"
done < <(grep -oE '^\| `[^`]+` \|' "$page" | sed -E 's/^\| `(.*)` \|$/\1/')

finish kept_tags
