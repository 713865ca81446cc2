# Sourced by the tools' tests: small BMP files written byte by byte.

# Little-endian 32-bit and 16-bit fields as printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }

# bmp FILE WIDTH HEIGHT BITS [RED GREEN BLUE]: an uncompressed BMP whose pixel bytes count up
# from 0; 8-bit files get a grey palette. Given masks, a bit-field file with those masks.
bmp() {
    local file=$1 width=$2 height=$3 bits=$4
    local row=$(((width * bits / 8 + 3) / 4 * 4)) table=0 compression=0
    if ((bits == 8)); then
        table=1024
    fi
    if (($# == 7)); then
        table=12 compression=3
    fi
    local offset=$((54 + table)) size=$((54 + table + row * height))
    {
        printf "BM$(le32 $size)$(le32 0)$(le32 $offset)"
        printf "$(le32 40)$(le32 $width)$(le32 $height)$(le16 1)$(le16 $bits)"
        printf "$(le32 $compression)$(le32 0)$(le32 0)$(le32 0)$(le32 0)$(le32 0)"
        if ((compression == 3)); then
            printf "$(le32 $5)$(le32 $6)$(le32 $7)"
        fi
        for ((i = 0; i < table / 4 && bits == 8; ++i)); do
            printf "$(printf '\\x%02x\\x%02x\\x%02x\\x00' $i $i $i)"
        done
        for ((i = 0; i < row * height; ++i)); do
            printf "$(printf '\\x%02x' $((i * 7 & 255)))"
        done
    } > "$file"
}

byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
