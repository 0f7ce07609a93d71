# bash completion for encounter-batch
#
# The options come from the program's own --help and the scenario numbers
# from its --list-presets, so that the completion knows those of the
# installed version; the values of the other options are completed here.

_encounter_batch_options() {
  # The lines of the option list: "  --name ...".
  "$1" --help 2>/dev/null | sed -n 's/^  \(--[a-z][a-z-]*\).*/\1/p' | sort -u
}

_encounter_batch_scenarios() {
  "$1" --list-presets 2>/dev/null | sed -n '2,$s/^\([^ ]*\) .*/\1/p'
}

_encounter_batch() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()

  # encounter-batch merge SHARD.csv...
  if ((COMP_CWORD > 1)) && [[ ${COMP_WORDS[1]} == merge ]]; then
    if [[ $prev == --output ]]; then
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return
    fi
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W --output -- "$cur"))
      return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -X '!*.csv' -- "$cur") $(compgen -d -- "$cur"))
    return
  fi

  case $prev in
    --test)
      COMPREPLY=($(compgen -W "$(_encounter_batch_scenarios "${COMP_WORDS[0]}")" -- "$cur"))
      return ;;
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
    --lanes)
      COMPREPLY=($(compgen -W '1 2 4 8' -- "$cur"))
      return ;;
    --max-steps)
      # no limit, and the default
      COMPREPLY=($(compgen -W '0 50000000' -- "$cur"))
      return ;;
    --jobs)
      COMPREPLY=($(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 1)")" -- "$cur"))
      return ;;
    --shard)
      # K/N: once N is typed ("/16", or "3/16"), the shards of N
      if [[ $cur =~ ^([0-9]*)/([0-9]+)$ ]] && ((BASH_REMATCH[2] <= 1000)); then
        local n=${BASH_REMATCH[2]} k=${BASH_REMATCH[1]}
        COMPREPLY=($(compgen -W "$(seq -f "%g/$n" 1 "$n")" -- "$k/$n"))
        [[ -z $k ]] && COMPREPLY=($(seq -f "%g/$n" 1 "$n"))
      fi
      return ;;
    --png-size)
      # the window's first size, and that size doubled and quadrupled
      COMPREPLY=($(compgen -W '312x286 624x572 1248x1144' -- "$cur"))
      return ;;
    --png | --output | --meta)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    --rerun)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -X '!*.json' -- "$cur") $(compgen -d -- "$cur"))
      return ;;
    --progress-every)
      # never, once a minute (the default), every ten minutes
      COMPREPLY=($(compgen -W '0 60 600' -- "$cur"))
      return ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(_encounter_batch_options "${COMP_WORDS[0]}")" -- "$cur"))
  elif ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W merge -- "$cur"))
  fi
}

complete -F _encounter_batch encounter-batch
