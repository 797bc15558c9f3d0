# Sourced by the tests that check what a package or a layout holds: the
# pictures that the manual MANUAL shows, one a line, as the paths they have
# beside the programs (help/images/NAME.png).
manual_pictures() { # MANUAL
    grep -o 'src="images/[^"]*"' "$1" | sed 's|^src="|help/|; s|"$||'
}
