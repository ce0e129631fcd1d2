// The game's own texts that the browser tests expect, as the game's rules
// give them (the title, the introduction, the main menu, the SHOPS menu and a
// new hero's statistics).

import { readFileSync } from "node:fs";

// The version the build shows: CTest passes it; by hand, project() has it.
export const version =
  process.env.DUSK_VERSION ??
  readFileSync(new URL("../../CMakeLists.txt", import.meta.url), "utf8").match(
    /project\(dusk-lynx VERSION ([0-9.]+)/,
  )[1];

export const title =
  "*THE ADVENTURES*\n*******OF*******\n***DUSK  LYNX***\n" +
  `V${version}\nCREATED BY:\n     DUSK LYNX\n`;
export const introductionFirst =
  "\nDUSK LYNX, THE ADVENTURER, WAS CALLED UPON BY FATE\nTO RID THE VILLAGE OF JETEK FROM A CURSE.\n";
export const introductionSecond =
  "HE SETS OUT ON HIS EPIC QUEST... WHAT DANGERS AWAIT HIM?\n(YOU SHOULD BUY A SWORD)\n";
export const mainMenu = "\n\nOPTIONS:\n1:BATTLE\n2:SHOPS\n3:STATS\n4:QUIT\n";
export const shopsMenu =
  "\n*****SHOPS*****\n1:WEAPON SHOP\n2:ARMOUR SHOP\n3:MISC. SHOP\n4:INN\n5:BACK\n";
// The sheet of a hero fresh from the title; a tab stands between LEVEL and GOLD.
export const newHeroStatistics =
  "\n\nDUSK LYNX : STATISTICS\n----------------------\nLEVEL: 1\tGOLD: 50\n" +
  "EXPERIENCE: 0/100\nHEALTH: 50/50\nMANA  : 20/20\nATTACK: 10\nDEFNCE: 0\n" +
  "WEAPON: UNARMED\nARMOUR: OLD CLOTHES\n\n";

// Everything up to the first wait at the main menu.
export const opening = title + introductionFirst + introductionSecond + mainMenu;

// The first line where `actual` and `expected` part, for a short failure message.
export function firstDifference(actual, expected) {
  const actualLines = actual.split("\n");
  const expectedLines = expected.split("\n");
  for (let line = 0; line < Math.max(actualLines.length, expectedLines.length); line++) {
    if (actualLines[line] !== expectedLines[line]) {
      return `line ${line + 1}: got ${JSON.stringify(actualLines[line])}, ` +
        `expected ${JSON.stringify(expectedLines[line])}`;
    }
  }
  return "none";
}
