#!/bin/sh
# Runs a command in a UTF-8 locale (the second argument, e.g. zh_CN.UTF-8 or en_US.UTF-8), from
# which Wine takes its ANSI and OEM code pages (936 and 936 for Chinese, 1252 and 437 for US
# English). A system without that locale gets it compiled into LOCALES (the first argument).
set -e
locales="$1"
locale_name="$2"
shift 2
language=${locale_name%%.*}
pattern=$(printf '%s' "$language" | sed 's/[.]/\\./g')
if ! locale -a 2>/dev/null | grep -qi "^$pattern\\.utf-\\?8\$"; then
  mkdir -p "$locales"
  (
    flock 9  # two tests may start at once
    [ -d "$locales/$locale_name" ] || localedef -i "$language" -f UTF-8 "$locales/$locale_name"
  ) 9>"$locales/.lock"
  export LOCPATH="$locales"
fi
export LANG="$locale_name" LC_ALL="$locale_name"
exec "$@"
