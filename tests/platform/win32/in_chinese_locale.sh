#!/bin/sh
# Runs a command in the zh_CN.UTF-8 locale, from which Wine takes code page 936 as the ANSI
# code page. A system without that locale gets it compiled into LOCALES (the first argument).
set -e
locales="$1"
shift
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  mkdir -p "$locales"
  (
    flock 9  # two tests may start at once
    [ -d "$locales/zh_CN.UTF-8" ] || localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8"
  ) 9>"$locales/.lock"
  export LOCPATH="$locales"
fi
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
exec "$@"
