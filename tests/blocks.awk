# Saves each fenced block that follows a line "<!-- file: NAME -->" of a page as the file NAME,
# so that the tests run what a page prints, exactly as printed.
/^<!-- file: [^ ]+ -->$/ { name = $3; next }
name && /^```/ { if (open) { close(name); name = ""; open = 0 } else open = 1; next }
open { print > name }
