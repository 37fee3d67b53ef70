# Bash completion of imagedb: its commands, each command's options and files.
# Commands and options are read from the tool's own help, so that they never
# fall behind the installed tool.
_imagedb_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p'
}

_imagedb() {
    local cur=${COMP_WORDS[COMP_CWORD]} command=${COMP_WORDS[1]}
    local words
    if [ "$COMP_CWORD" -eq 1 ]; then
        words="$(_imagedb_commands "$1") --help --version"
    elif [ "$command" = help ] && [ "$COMP_CWORD" -eq 2 ]; then
        words=$(_imagedb_commands "$1")
    elif [[ $cur == -* ]]; then
        words=$("$1" help "$command" 2>/dev/null | sed -n 's/^  \(-[^ ]*,\)\?\(--[a-z-]\+\).*/\2/p')
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _imagedb imagedb
