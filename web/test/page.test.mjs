// The page in a real Chromium: what its terminal shows against what a console
// shows, typing as key events and pastes, input that the console copes with,
// a new game after the end, a screen reader's view, the page opened from disk,
// and never an error or a request for anything outside the site.

import { after, before, describe, it } from "node:test";
import assert from "node:assert/strict";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import {
  gameState,
  launchBrowser,
  openGame,
  serveSite,
  siteDir,
  typeLine,
} from "./harness.mjs";
import {
  consoleRows,
  introductionFirst,
  introductionSecond,
  mainMenu,
  newHeroStatistics,
  opening,
  shopsMenu,
  title,
} from "./texts.mjs";

let server;
let browser;
before(async () => {
  server = await serveSite();
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

async function typeLines(page, lines) {
  for (const line of lines) await typeLine(page, line);
}

// A key pressed as the player presses it, and the game's answer on screen.
async function press(page, key) {
  await page.keyboard.press(key);
  await page.evaluate(() => dusk.shown());
}

async function paste(page, text) {
  await page.evaluate((pasted) => {
    const data = new DataTransfer();
    data.setData("text/plain", pasted);
    const event = new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true });
    document.activeElement.dispatchEvent(event);
  }, text);
  await page.evaluate(() => dusk.shown());
}

describe("the terminal", () => {
  it("shows a short game typed as keys and a paste as a console shows it", async () => {
    const { page, problems } = await openGame(browser, server.url);
    assert.ok(await page.evaluate(() => document.activeElement.closest(".xterm") !== null),
      "the terminal has the focus when the page opens");

    for (let enter = 0; enter < 3; enter++) await press(page, "Enter");
    // Arrow keys do nothing; Backspace takes back the 5 (a new game).
    await press(page, "ArrowUp");
    await page.keyboard.type("5");
    await press(page, "Backspace");
    await page.keyboard.type("3");
    await press(page, "ArrowLeft");
    await press(page, "Enter");
    // Two lines pasted at once: SHOPS, then BACK. Both echo at once, and the
    // game reads them one after the other without waiting.
    await paste(page, "2\n5\n");
    // Ctrl-D on an empty line ends the input, and with it the game.
    await page.keyboard.down("Control");
    await press(page, "KeyD");
    await page.keyboard.up("Control");

    const printed = opening + newHeroStatistics + mainMenu + shopsMenu + mainMenu;
    // What the console shows: the same, with the typing echoed where it was typed.
    const shown =
      title + "\n" + introductionFirst + "\n" + introductionSecond + "\n" + mainMenu + "3\n" +
      newHeroStatistics + mainMenu + "2\n5\n" + shopsMenu + mainMenu;
    const game = await page.evaluate(gameState);
    assert.equal(game.output, printed);
    assert.deepEqual(await page.evaluate(() => dusk.screen()), consoleRows(shown));
    assert.equal(game.ended, true);
    assert.equal(game.status, 0);
    // The title, the two introductions, the main menu, and the main menu
    // after the statistics and after the paste.
    assert.equal(game.waits, 6);
    assert.deepEqual(problems, []);
    await page.close();
  });

  it("fits the window, and refits when the window changes", async () => {
    const { page, problems } = await openGame(browser, server.url, { width: 1000, height: 700 });
    const size = () =>
      page.evaluate(() => {
        const screen = document.querySelector(".xterm-screen").getBoundingClientRect();
        return { cols: dusk.terminal.cols, rows: dusk.terminal.rows, right: screen.right, bottom: screen.bottom };
      });
    const wide = await size();
    await page.setViewport({ width: 500, height: 400 });
    await page.waitForFunction((cols) => dusk.terminal.cols < cols, {}, wide.cols);
    const narrow = await size();
    for (const [fitted, width, height] of [[wide, 1000, 700], [narrow, 500, 400]]) {
      assert.ok(fitted.right <= width && fitted.bottom <= height, `${JSON.stringify(fitted)} within ${width}x${height}`);
    }
    assert.ok(wide.cols >= 80, `${wide.cols} columns in 1000 pixels`);
    assert.ok(narrow.rows < wide.rows);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("input that the console copes with", () => {
  it("shows the same screens for garbage, unlisted numbers and lines longer than any buffer", async () => {
    const { page, problems } = await openGame(browser, server.url);
    await typeLines(page, ["", "", ""]);
    await typeLines(page, [
      "x", // not a number: the menu again
      "9", // not on the menu: the menu again
      "A".repeat(10000), // thrown away whole: the menu once
      // 12 is not on the menu; split between two reads of the page's input
      // buffer (1 KB), or of one twice or four times as large, it must stay 12.
      ...[1023, 2047, 4095].map((blanks) => " ".repeat(blanks) + "12"),
      "0".repeat(10000) + "2", // SHOPS, however many zeros come first
      "5", // BACK
      "4", // QUIT
    ]);
    const game = await page.evaluate(gameState);
    assert.equal(
      game.output,
      opening + mainMenu.repeat(6) + shopsMenu + mainMenu,
    );
    assert.equal(game.ended, true);
    assert.equal(game.status, 0);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("a new game", () => {
  it("is offered after QUIT, starts from the title and replays the same game", async () => {
    // BATTLE, FOREST, the first opponent, DEFEND twice (the monster strikes,
    // with damage drawn from the generator), RUN, QUIT.
    const lines = ["", "", "", "1", "1", "1", "2", "2", "6", "4"];
    const { page, problems } = await openGame(browser, server.url);
    await typeLines(page, lines);
    const first = await page.evaluate(gameState);
    assert.equal(first.ended, true);
    assert.equal(first.status, 0);
    assert.ok(first.output.endsWith("\nYOU RAN AWAY. LOST 100G\n" + mainMenu), first.output);
    assert.deepEqual(
      await page.evaluate(() => ({
        said: document.getElementById("status").textContent,
        focused: document.activeElement.id,
      })),
      { said: "The game has ended.", focused: "new-game" },
    );

    await page.click("#new-game");
    await page.evaluate(() => dusk.shown());
    const fresh = await page.evaluate(gameState);
    assert.deepEqual(fresh, { output: title, waits: 1, ended: false, status: null });
    assert.deepEqual(await page.evaluate(() => dusk.screen()), consoleRows(title));
    assert.equal(await page.evaluate(() => document.getElementById("new-game").hidden), true);

    await typeLines(page, lines);
    const second = await page.evaluate(gameState);
    assert.equal(second.output, first.output);
    assert.equal(second.status, 0);
    assert.deepEqual(problems, []);
    await page.close();
  });

  it("can be started in the middle of a game, ending it", async () => {
    const { page, problems } = await openGame(browser, server.url);
    await typeLines(page, ["", "", "", "3"]);
    await page.evaluate(() => dusk.newGame());
    assert.deepEqual(await page.evaluate(gameState), { output: title, waits: 1, ended: false, status: null });
    await typeLines(page, ["", "", "", "4"]);
    assert.deepEqual(await page.evaluate(gameState), { output: opening, waits: 4, ended: true, status: 0 });
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("a screen reader", () => {
  // The text that the accessibility tree holds, in document order.
  async function accessibleText(page) {
    const tree = await page.accessibility.snapshot({ interestingOnly: false });
    const names = [];
    const walk = (node) => {
      if (node.name) names.push(node.name);
      for (const child of node.children ?? []) walk(child);
    };
    walk(tree);
    return names.join("\n");
  }

  // The tree as soon as it holds all of `rows`; the terminal updates its
  // accessible rows a moment after it draws them. Gives up after 5 seconds.
  async function treeWith(page, rows) {
    let text = "";
    for (const deadline = Date.now() + 5000; Date.now() < deadline; ) {
      text = await accessibleText(page);
      if (rows.every((row) => text.includes(row))) return text;
      await new Promise((resume) => setTimeout(resume, 50));
    }
    return text;
  }

  it("finds the last screen, and hears that the game has ended", async () => {
    const { page, problems } = await openGame(browser, server.url);
    await typeLines(page, ["", "", "", "2"]);
    const rows = consoleRows(shopsMenu).filter((row) => row !== "");
    const text = await treeWith(page, rows);
    for (const row of rows) assert.ok(text.includes(row), `the accessibility tree has no "${row}"`);

    await typeLines(page, ["5", "4"]);
    assert.equal(await page.evaluate(() => document.querySelector("[role=status]").textContent),
      "The game has ended.");
    assert.ok((await treeWith(page, ["The game has ended."])).includes("The game has ended."));
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("the page opened from disk", () => {
  it("plays without a server", async () => {
    const url = pathToFileURL(join(siteDir, "index.html")).href;
    const { page, problems } = await openGame(browser, url);
    await typeLines(page, ["", "", "", "4"]);
    assert.deepEqual(await page.evaluate(gameState), { output: opening, waits: 4, ended: true, status: 0 });
    assert.deepEqual(problems, []);
    await page.close();
  });
});
