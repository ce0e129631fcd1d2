# Sourced by the CI steps that try a built game as its player would: a short
# scripted game (the title, the introduction, the main menu, the statistics,
# then QUIT) and the screens it must show.
#   short_game_lines                 the lines the player types, one an element
#   short_game_screens VERSION       prints the screens
#   play_short_game [--windows] [--crlf] NAME VERSION SCRATCH COMMAND...
#       plays the game with COMMAND and fails unless it ends with status 0 and
#       prints exactly those screens; NAME says which game failed. With --crlf
#       the script's lines end in CR LF, as a script written on Windows has
#       them; with --windows every line of the screens ends in CR LF, as the
#       Windows game writes them.
short_game_lines=("" "" "" 3 "" 4)

short_game_screens() {
  local menu='\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n'
  printf '*THE ADVENTURES*\n*******OF*******\n***DUSK  LYNX***\nV%s\nCREATED BY:\n     DUSK LYNX\n' "$1"
  printf '\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\nTO RID THE VILLAGE OF JETEK FROM A CURSE.\n'
  printf 'HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?\n(YOU SHOULD BUY A SWORD)\n'
  printf %b "$menu"
  printf '\n\nDUSK LYNX : STATISTICS\n----------------------\nLEVEL: 1\tGOLD: 50\nEXPERIENCE: 0/100\n'
  printf 'HEALTH: 50/50\nMANA  : 20/20\nATTACK: 10\nDEFNCE: 0\nWEAPON: UNARMED\nARMOUR: OLD CLOTHES\n\n'
  printf %b "$menu"
}

play_short_game() {
  local end=$'\n' windows=0
  [[ $1 == --windows ]] && { windows=1; shift; }
  [[ $1 == --crlf ]] && { end=$'\r\n'; shift; }
  local name=$1 version=$2 scratch=$3 status=0
  shift 3
  if ((windows)); then
    short_game_screens "$version" | sed 's/$/\r/' >"$scratch/expected"
  else
    short_game_screens "$version" >"$scratch/expected"
  fi
  printf "%s$end" "${short_game_lines[@]}" | "$@" >"$scratch/actual" || status=$?
  ((status == 0)) || { echo "$name exited with status $status" >&2; return 1; }
  cmp "$scratch/expected" "$scratch/actual" || {
    diff <(cat -A "$scratch/expected") <(cat -A "$scratch/actual") || true
    echo "$name printed the wrong text" >&2
    return 1
  }
}
