#!/usr/bin/env bash
# The game in a real terminal, played as a player would play it: tmux runs a
# shell in a pane, the game is started from that shell, and the test reads the
# screen and types at the game's prompts. It checks what only a terminal shows:
# that each screen is on view before the game waits (also a prompt without a
# line end), which waits need the player and which do not, that QUIT hands
# the terminal back to the shell with status 0, and that the end of the input
# (Ctrl-D) does too.
#
#   tests/terminal_test.sh GAME VERSION
#
# Exits 0 when all is well, 1 on a failure, 77 (skipped) where tmux is missing.
# Every wait is a poll of at most five seconds; the tmux server runs on a socket
# of its own and is shut down at exit.

set -euo pipefail

game=${1:?usage: terminal_test.sh GAME VERSION}
version=${2:?usage: terminal_test.sh GAME VERSION}
if ! command -v tmux >/dev/null; then
  echo "SKIP: tmux is not installed, so the game cannot be tried in a terminal"
  exit 77
fi
[[ -x $game ]] || { echo "FAIL: $game is not a program"; exit 1; }
game=$(cd "$(dirname "$game")" && pwd)/$(basename "$game")

socket="dusk-terminal-$$-$RANDOM"
socket_path=
work=$(mktemp -d)
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  # The server leaves its socket behind.
  [[ -z $socket_path ]] || rm -f "$socket_path"
  rm -rf "$work"
}
trap cleanup EXIT
unset TMUX

# The shell's prompt, without the blank that follows it (the screen drops
# trailing blanks).
prompt='dusk-shell$'
cat >"$work/tmux.conf" <<'EOF'
set -g history-limit 50000
set -g status off
EOF

t() { tmux -L "$socket" "$@"; }

# --- reading the screen ------------------------------------------------------

# The pane with its history. Typing empties the history, so this stays short.
everything() { t capture-pane -p -t game -S - -E -; }
# Reads into $text what appeared since the player last typed, from the line that
# the cursor was on.
position=0
text=
look() { text=$(everything | tail -n "+$((position + 1))"); }
cursor_line() {
  local row
  row=$(t display -p -t game '#{cursor_y}')
  t capture-pane -p -t game -S "$row" -E "$row"
}

step_name="start"
fail() {
  echo "FAIL ($step_name): $*"
  echo "--- the terminal:"
  t capture-pane -p -t game 2>/dev/null || true
  exit 1
}

# Runs a check every 20 ms until it holds, for at most 5 s.
poll() {
  local deadline=$((${EPOCHREALTIME/./} + 5000000))
  until "$@"; do
    ((${EPOCHREALTIME/./} < deadline)) || return 1
    sleep 0.02
  done
}

# Checks on the text of the last look.
shows_line() { grep -q -x -F -- "$1" <<<"$text"; }
shows() { [[ $text == *"$1"* ]]; }
# The given lines, one after another.
shows_block() {
  local IFS=$'\n'
  [[ $'\n'"$text"$'\n' == *$'\n'"$*"$'\n'* ]]
}
has_line() { look && shows_line "$1"; }
has_text() { look && shows "$1"; }
has_block() { look && shows_block "$@"; }
expect_line() { poll has_line "$1" || fail "no line \"$1\""; }
expect_text() { poll has_text "$1" || fail "no \"$1\""; }
expect_block() { poll has_block "$@" || fail "no lines: $(printf '"%s" ' "$@")"; }
refuse_text() { ! has_text "$1" || fail "\"$1\" came before the player pressed a key"; }

# --- the game process ----------------------------------------------------------

shell_pid=
game_pid=
find_game() {
  local children
  children=$(cat "/proc/$shell_pid/task/$shell_pid/children" 2>/dev/null) || children=
  if [[ -z $children ]]; then
    local stat pid parent
    for stat in /proc/[0-9]*/stat; do
      read -r pid _ _ parent _ 2>/dev/null <"$stat" || continue
      [[ $parent == "$shell_pid" ]] && children=$pid
    done
  fi
  game_pid=${children%% *}
  [[ -n $game_pid ]]
}

# The number of the read system call, where it is known.
case $(uname -m) in
  x86_64) read_call=0 ;;
  aarch64) read_call=63 ;;
  *) read_call= ;;
esac

# The game sleeps in a read of its standard input.
reading() {
  local call fd rest
  [[ -n $read_call ]] || return 0
  read -r call fd rest 2>/dev/null <"/proc/$game_pid/syscall" || return 0
  [[ $call == "$read_call" && $fd == 0x0 ]]
}
# Nothing has changed on screen for a tenth of a second.
settled() {
  local before
  before=$(everything)
  sleep 0.1
  [[ $(everything) == "$before" ]]
}
# The game waits for the player: it reads its input, and all it printed before
# is on the screen.
expect_wait() {
  poll reading || fail "the game does not wait for input"
  poll settled || fail "the screen does not settle"
}

# --- typing --------------------------------------------------------------------

# Types a line (a menu number, or nothing for a bare Enter) at the game's prompt,
# and marks where the game's answer starts.
type_line() {
  local keys=(send-keys -t game Enter)
  [[ -z $1 ]] || keys=(send-keys -t game -l -- "$1" \; "${keys[@]}")
  position=$(t clear-history -t game \; display -p -t game '#{cursor_y}' \; "${keys[@]}")
}

expect_options() {
  expect_block "OPTIONS:" "1:BATTLE" "2:SHOPS" "3:STATS" "4:QUIT"
}

# The hero's hit points in the last battle header seen.
hero_hp() {
  sed -n 's/^DUSK LYNX:[[:space:]]*HP:\(-\{0,1\}[0-9]*\)\/.*/\1/p' <<<"$text" | tail -n 1
}

# Rests at the inn; the wait after the rest follows the menu choice, so the main
# menu comes without another key.
rest() {
  step_name="inn"
  type_line 2
  expect_block "*****SHOPS*****" "1:WEAPON SHOP" "2:ARMOUR SHOP" "3:MISC. SHOP" "4:INN" "5:BACK"
  type_line 4
  expect_text "DO YOU WANT TO REST FOR 50G?"
  expect_block "1:REST, PAY 50G" "2:BACK"
  type_line 1
  expect_line "YOU RESTED AND RECOVERED FULLY."
  expect_options
}

# Fights one opponent until it falls, by reading the screen: ATTACK while the
# hero can take the worst blow that the opponent deals in one round, otherwise
# RUN, rest and start again. Then presses Enter through the rewards and any
# level-ups until the main menu is back.
fight() {
  local area=$1 choice=$2 name=$3 worst=$4 attempt round hp
  for ((attempt = 1; attempt <= 10; attempt++)); do
    step_name="$name, attempt $attempt"
    type_line 1
    expect_block "**FIGHT WHERE?**" "1:FOREST"
    expect_line "0:BACK"
    type_line "$area"
    expect_line "***FIGHT WHO?***"
    type_line "$choice"
    expect_block "*****BATTLE*****" "1:ATTACK" "2:DEFEND" "3:MAGIC" "4:STATS" "5:ITEM" "6:RUN"
    expect_text "$name"
    for ((round = 1; round <= 30; round++)); do
      hp=$(hero_hp)
      [[ -n $hp ]] || fail "no hit points for the hero on screen"
      if ((hp <= worst)); then
        type_line 6
        expect_line "YOU RAN AWAY. LOST 100G"
        expect_options
        rest
        continue 2
      fi
      type_line 1
      poll round_over || fail "nothing came after ATTACK"
      ! shows "YOU WERE SLAIN." || fail "the hero was slain"
      if shows "YOU DEFEATED: "; then
        won "$name"
        return
      fi
    done
    fail "$name still stands after $round rounds"
  done
  fail "$name not beaten in $attempt attempts"
}

round_over() { look && { shows_line "6:RUN" || shows "YOU DEFEATED: " || shows "YOU WERE SLAIN."; }; }
after_rewards() { look && { shows_line "LEVEL UP!" || shows_line "OPTIONS:"; }; }

# After the winning blow, the monster's turn ends with a wait that takes the
# newline of the ATTACK line; the wait after "YOU DEFEATED" is a second one in a
# row and waits for the player.
won() {
  step_name="victory over $1"
  expect_line "YOU DEFEATED: $1"
  expect_wait
  refuse_text "YOU GOT:"
  type_line ""
  expect_line "YOU GOT:"
  expect_text " EXPERIENCE POINTS"
  expect_wait
  look
  rewards=$text
  local presses
  for ((presses = 0; presses < 30; presses++)); do
    type_line ""
    poll after_rewards || fail "nothing came after Enter"
    if shows_line "OPTIONS:"; then
      expect_options
      return
    fi
    expect_wait
  done
  fail "the main menu did not come back"
}

# --- the session -----------------------------------------------------------------

step_name="shell"
t -f "$work/tmux.conf" new-session -d -s game -x 160 -y 50 \
  env -i HOME="$work" HISTFILE= PATH=/usr/bin:/bin TERM=screen PS1="$prompt " bash --norc --noprofile
socket_path=$(t display -p '#{socket_path}')
shell_pid=$(t display -p -t game '#{pane_pid}')
expect_text "$prompt"

step_name="title"
type_line "$(printf '%q' "$game")"
expect_block "*THE ADVENTURES*" "*******OF*******" "***DUSK  LYNX***" "V$version" "CREATED BY:" \
  "     DUSK LYNX"
poll find_game || fail "the game did not start"
expect_wait
refuse_text "DUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE"

step_name="introduction"
type_line ""
expect_block "DUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE" \
  "TO RID THE VILLAGE OF JETEK FROM A CURSE."
expect_wait
refuse_text "HE SETS OUT ON HIS EPIC QUEST"
type_line ""
expect_block "HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?" "(YOU SHOULD BUY A SWORD)"
expect_wait
refuse_text "OPTIONS:"
type_line ""
expect_options
expect_wait

# The statistics end with a wait that takes the newline of the choice, so the
# main menu follows at once.
step_name="statistics"
type_line 3
expect_block "DUSK LYNX : STATISTICS" "----------------------"
# A tab stands between LEVEL and GOLD; the screen shows it as blanks.
first_sheet_line() { look && grep -q -E -x 'LEVEL: 1 +GOLD: 50' <<<"$text"; }
poll first_sheet_line || fail "no line \"LEVEL: 1\", a tab, \"GOLD: 50\""
expect_block "EXPERIENCE: 0/100" "HEALTH: 50/50" "MANA  : 20/20" "ATTACK: 10" "DEFNCE: 0" \
  "WEAPON: UNARMED" "ARMOUR: OLD CLOTHES"
expect_options
expect_wait

# The shops' hidden items; a purchase ends with a wait that follows the choice.
step_name="weapon shop"
type_line 2
expect_block "*****SHOPS*****" "1:WEAPON SHOP" "2:ARMOUR SHOP" "3:MISC. SHOP" "4:INN" "5:BACK"
type_line 1
expect_text "**WEAPON SHOP***"
expect_block "6:SELL" "7:BACK"
type_line 7777
expect_block "BUY RAGNAROK?" "1:BUY" "2:BACK"
type_line 1
expect_line "YOU BOUGHT A RAGNAROK"
expect_options
step_name="armour shop"
type_line 2
expect_line "*****SHOPS*****"
expect_line "5:BACK"
type_line 2
expect_text "**ARMOUR SHOP***"
expect_block "6:SELL" "7:BACK"
type_line 7777
expect_block "BUY RED DRAGON ARMOUR?" "1:BUY" "2:BACK"
type_line 1
expect_line "YOU BOUGHT RED DRAGON ARMOUR"
expect_options

rewards=
new_area() { grep -q -x -F "YOU CAN NOW FIGHT IN A NEW AREA!" <<<"$rewards"; }

# Levels first: LORD OCHU's POISON SPORE ignores armour.
fight 1 3 GNOLL 0
fight 1 3 GNOLL 0
fight 1 3 GNOLL 0
rest
fight 1 6 "LORD OCHU" 105
new_area || fail "LORD OCHU opened no new area"
rest
fight 2 5 VAMPIRE 150
fight 2 5 VAMPIRE 150
rest
fight 2 6 DURAHAN 480
new_area || fail "DURAHAN opened no new area"
for _ in 1 2 3; do
  rest
  fight 2 6 DURAHAN 480
done
rest
fight 3 6 "BLACK DRAGON" 2000
new_area || fail "BLACK DRAGON opened no new area"

# The CASTLE list ends in "7:BACK" without a line end: it must be on screen,
# with the cursor just after it, while the game waits.
step_name="castle"
type_line 1
expect_block "**FIGHT WHERE?**" "1:FOREST" "2:GRAVEYARD" "3:CAVES" "4:CASTLE" "0:BACK"
type_line 4
expect_block "***FIGHT WHO?***" "1:LORD OCHU" "2:DURAHAN" "3:BLACK DRAGON" "4:RED DRAGON" "7:BACK"
expect_wait
[[ $(cursor_line) == "7:BACK" ]] || fail "the cursor is not on the line \"7:BACK\""
[[ $(t display -p -t game '#{cursor_x}') == 6 ]] || fail "the cursor is not just after \"7:BACK\""
type_line 7
expect_options

step_name="quit"
expect_wait
type_line 4
expect_text "$prompt"
game_gone() { [[ ! -e /proc/$game_pid ]]; }
poll game_gone || fail "the game is still running after QUIT"
type_line 'echo "status=$?"'
expect_line "status=0"

# "1" and Ctrl-D hand the 1 over without a line end; a second Ctrl-D ends the
# input. The game acts on the 1, as it does when the same bytes come from a
# file, and then ends at once instead of asking the terminal again.
step_name="end of input"
type_line "$(printf '%q' "$game")"
expect_line "     DUSK LYNX"
poll find_game || fail "the game did not start again"
for _ in 1 2 3; do
  expect_wait
  type_line ""
done
expect_options
expect_wait
position=$(t clear-history -t game \; display -p -t game '#{cursor_y}' \; send-keys -t game -l 1 \; \
  send-keys -t game C-d)
expect_wait
t send-keys -t game C-d
expect_block "**FIGHT WHERE?**" "1:FOREST" "0:BACK"
poll game_gone || fail "the game still runs after the end of its input"
expect_text "$prompt"
type_line 'echo "status=$?"'
expect_line "status=0"
echo "PASS: the game played in a terminal"
