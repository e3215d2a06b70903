# Writes the settings' plain words (tools/core/settings.json, which
# docs/authoring.md shows too) as OUT/settings.js for the page.
file(READ ${IN} table)
file(WRITE ${OUT}.new "// Written at build time from tools/core/settings.json.\n\"use strict\";\nconst SETTINGS_HELP = ${table};\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
