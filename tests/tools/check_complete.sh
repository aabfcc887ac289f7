#!/bin/sh
# Every language of po/LINGUAS is complete against po/brolix.pot: no untranslated or fuzzy
# message, no header left as the template had it. usage: check_complete.sh SOURCE_DIR
set -u
status=0
for code in $(sed 's/#.*//' "$1/po/LINGUAS"); do
    said=$(msgmerge --quiet --output-file=- "$1/po/$code.po" "$1/po/brolix.pot" 2>&1 |
           msgfmt --check --statistics --output-file=/dev/null - 2>&1)
    if [ $? -ne 0 ] || printf '%s' "$said" | grep -q 'untranslated\|fuzzy\|warning\|error'; then
        echo "$code: $said"
        status=1
    fi
done
exit $status
