# fish completion for korvid, the desktop program.
complete -c korvid -f
complete -c korvid -s h -l help -d 'print the help'
complete -c korvid -l version -d 'print the version'
complete -c korvid -o platform -x -d 'the Qt platform'
complete -c korvid -o style -x -d 'the Qt style'
complete -c korvid -o display -x -d 'the X display'
