# bash completion for encounter-batch
#
# The options come from the program's own --help, so that the completion
# knows every option of the installed version; the field names, units and
# preset numbers are fixed by the windows.

_encounter_batch_options() {
  "$1" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u
}

_encounter_batch() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()

  # encounter-batch merge SHARD.csv...
  if ((COMP_CWORD > 1)) && [[ ${COMP_WORDS[1]} == merge ]]; then
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -X '!*.csv' -- "$cur") $(compgen -d -- "$cur"))
    return
  fi

  case $prev in
    --set)
      compopt -o nospace 2>/dev/null
      COMPREPLY=($(compgen -S = -W 'm1 m2 m3 dist1 dist2 start end tdfact dalpha' -- "$cur"))
      return ;;
    --unit)
      COMPREPLY=($(compgen -W 'au km' -- "$cur"))
      return ;;
    --integrator)
      COMPREPLY=($(compgen -W 'euler-sums gauss-radau bulirsch-stoer' -- "$cur"))
      return ;;
    --test)
      COMPREPLY=($(compgen -W "$(echo {0..19})" -- "$cur"))
      return ;;
    --png)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    --max-steps | --jobs | --shard)
      return ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_encounter_batch_options "${COMP_WORDS[0]}")" -- "$cur"))
  elif ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W merge -- "$cur"))
  fi
}

complete -F _encounter_batch encounter-batch
