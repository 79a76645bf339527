# bash completion for zephrinimport: its commands, their options, and the
# import type codes of --type.

# The import type codes: from the program itself (`zephrinimport types`: the
# first word of each line between its heading and the first empty line), else
# the codes this version knows.
_zephrinimport_types() {
  local codes
  codes=$("$1" types 2>/dev/null | awk 'NR == 1 {next} !NF {exit} {print $1}')
  if [[ -z $codes ]]; then
    codes="FBJ FRJ FTJ FCOA TCC PRELIMBAL JEBAL ICA INTL IXREF FCAXREF TAJXREF ENTITY TAXRATE M3MAP
      NAICLINEMAP M3BAL M2BAL TAXEXP TAXPAY EXRATE PK1MAP INSURWP INSURPYDAC CONSOLMEMBERS
      LOGIC AABAL TIBAL APPORT LOSS CREDIT AMTACE CURSTI CATASSN CTPRCN
      CAT TICAT CURFEDTI AMT M3CODE TIMAP CTDGRP CTDMAP PAAMAP"
  fi
  printf '%s\n' $codes
}

_zephrinimport() {
  local cur prev words cword
  _init_completion 2>/dev/null || {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="read review suggest types call serve edit templates delete-template forget-file help"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $prev in
    --type)
      COMPREPLY=($(compgen -W "$(_zephrinimport_types "${words[0]}")" -- "$cur"))
      return ;;
    --format)
      COMPREPLY=($(compgen -W "csv dif fixed xlsx xls" -- "$cur"))
      return ;;
    --separator)
      COMPREPLY=($(compgen -W "comma tab semicolon pipe" -- "$cur"))
      return ;;
    -o|--output|--jurisdictions|--category-types|--country-jurisdictions)
      COMPREPLY=($(compgen -f -- "$cur"))
      return ;;
    -t|--template|--id|--more-info|--year|--intl-type|--intl-param|--country|--port|--sheet)
      return ;;
  esac

  local options
  case $command in
    read) options="--template -t --type --id --more-info --year --batch --intl-type --intl-param --format
      --separator --sheet --output -o --strict --jurisdictions --category-types --country-jurisdictions --country --help" ;;
    review) options="--template -t --type --id --more-info --intl-type --format --separator --sheet --json --help" ;;
    suggest) options="--type --json --help" ;;
    call) options="--describe --help" ;;
    serve) options="--port --open --help" ;;
    edit) options="--type --template -t --intl-type --help" ;;
    templates) options="--xml --help" ;;
    types|delete-template|forget-file|help) options="--help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  elif [[ $command == help ]]; then
    COMPREPLY=($(compgen -W "$commands" -- "$cur"))
  elif [[ $command == read || $command == review || $command == suggest || $command == edit ||
          $command == forget-file ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -o bashdefault -F _zephrinimport zephrinimport
