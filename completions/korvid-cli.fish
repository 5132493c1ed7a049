# fish completion for korvid-cli: commands, their options, --source values and file names.

set -l commands search tag show-tag scan undo-rename dataset
# The genre names of tag/movie_tag.h, in their order.
set -l genres Action Adventure Animation Biography Comedy Crime Documentary Drama Family Fantasy Film-Noir Game-Show History Horror Music Musical Mystery News Reality-TV Romance Sci-Fi Short Sport Talk-Show Thriller War Western
complete -c korvid-cli -f
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a search -d 'look a film up by its title'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a tag -d 'write the EKT tag of movie files'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a show-tag -d 'show the EKT tag of movie files'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a scan -d 'look up and tag every movie file in folders'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a undo-rename -d 'put back the names a scan --rename gave'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -a dataset -d 'the local film database'
complete -c korvid-cli -s h -l help -d 'print the help'
complete -c korvid-cli -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'print the version'

# Options that search, tag and scan share.
for command in search tag scan
    complete -c korvid-cli -n "__fish_seen_subcommand_from $command" -l source -x -a 'local site' -d 'who answers'
    complete -c korvid-cli -n "__fish_seen_subcommand_from $command" -l db -r -F -d 'the film database'
    complete -c korvid-cli -n "__fish_seen_subcommand_from $command" -l host -x -d 'the site'
    complete -c korvid-cli -n "__fish_seen_subcommand_from $command" -s d -l dir -x -a '(__fish_complete_directories)' -d 'the folder for the page and the cover'
end

complete -c korvid-cli -n '__fish_seen_subcommand_from search' -s p -l pick -x -d 'read entry N'
complete -c korvid-cli -n '__fish_seen_subcommand_from search' -s x -l xml -r -F -d 'save the XML document'
complete -c korvid-cli -n '__fish_seen_subcommand_from search' -s c -l csv -r -F -d 'save the CSV document'
complete -c korvid-cli -n '__fish_seen_subcommand_from search' -l nfo -r -F -d 'save the NFO document'
complete -c korvid-cli -n '__fish_seen_subcommand_from search' -s j -l json -d 'print JSON'
complete -c korvid-cli -n '__fish_seen_subcommand_from search' -l no-cover -d 'do not fetch the cover online'

complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -F
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l title -x -d 'the title'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l director -x -d 'the director'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l comment -x -d 'the comment'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l imdb -x -d 'the IMDB ID'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l year -x -d 'the year'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -l genre -x -a "$genres" -d 'a genre'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -s s -l search -x -d 'look a title up'
complete -c korvid-cli -n '__fish_seen_subcommand_from tag' -s p -l pick -x -d 'take entry N'

complete -c korvid-cli -n '__fish_seen_subcommand_from show-tag' -F
complete -c korvid-cli -n '__fish_seen_subcommand_from show-tag' -s j -l json -d 'print JSON'

complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -F
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -s r -l recursive -d 'also scan folders in folders'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l replace -d 'replace tags'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -s n -l dry-run -d 'write nothing'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -s j -l json -d 'print JSON'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l delay -x -d 'seconds between requests'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l nfo -d 'write NAME.nfo beside each file matched'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l replace-nfo -d 'replace NFO files Korvid did not write'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l rename -d 'give each file matched the name of its film'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l name-format -x -d 'the new name ({title} ({year}))'
complete -c korvid-cli -n '__fish_seen_subcommand_from scan' -l portable -d 'leave out the characters Windows refuses'

complete -c korvid-cli -n '__fish_seen_subcommand_from undo-rename' -F

complete -c korvid-cli -n '__fish_seen_subcommand_from dataset; and not __fish_seen_subcommand_from update status remove' -a update -d 'download and build'
complete -c korvid-cli -n '__fish_seen_subcommand_from dataset; and not __fish_seen_subcommand_from update status remove' -a status -d 'show the database'
complete -c korvid-cli -n '__fish_seen_subcommand_from update' -l from -r -a '(__fish_complete_directories)' -d 'another source'
complete -c korvid-cli -n '__fish_seen_subcommand_from dataset; and not __fish_seen_subcommand_from update status remove' -a remove -d 'remove the film data'
complete -c korvid-cli -n '__fish_seen_subcommand_from update status remove' -l db -r -F -d 'the database file'
complete -c korvid-cli -n '__fish_seen_subcommand_from update' -l force -d 'put a much smaller database in place'
complete -c korvid-cli -n '__fish_seen_subcommand_from status' -s j -l json -d 'print JSON'
complete -c korvid-cli -n '__fish_seen_subcommand_from remove' -s n -l dry-run -d 'print what would be removed'
