#!/bin/sh
# Runs a command in the zh_CN.UTF-8 locale, from which Wine takes code page 936 as the ANSI
# code page. A system without that locale gets it compiled into LOCALES (the first argument).
locales="$1"
shift
exec sh "$(dirname "$0")/in_locale.sh" "$locales" zh_CN.UTF-8 "$@"
