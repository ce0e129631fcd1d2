// The page in a real Chromium: a game tapped on a phone against the same game
// typed, a thousand taps each landing where its choice was when the game
// waited, a long game that leaves the page no larger, the keyboard alone, input that the console copes with, axe-core's
// WCAG checks, playing offline after one visit, the page opened from disk, and
// never an error or a request for anything outside the site.

import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { createRequire } from "node:module";
import { readFile } from "node:fs/promises";
import { join } from "node:path";
import { setTimeout as sleep } from "node:timers/promises";
import { pathToFileURL } from "node:url";
import { gameState, openGame, resultsDir as results, serveSite, siteAndBrowser, siteDir, typeLine } from "./harness.mjs";
import { introductionFirst, introductionSecond, mainMenu, newHeroStatistics, opening, shopsMenu, title } from "./texts.mjs";

const shared = siteAndBrowser();

async function typeLines(page, lines) {
  for (const line of lines) await typeLine(page, line);
}

// Runs `act` (a key press, a tap) and waits until the game waits again, ends,
// or starts again and waits.
async function answered(page, act) {
  const before = await page.evaluate(() => [dusk.waits, dusk.ended]);
  await act();
  await page.waitForFunction(
    ([waits, ended]) => (dusk.waits !== waits || dusk.ended !== ended) && (dusk.ended || dusk.waits > 0),
    {}, before);
  await page.evaluate(() => dusk.shown());
}

const focused = (page) =>
  page.evaluate(() => document.activeElement.id || document.activeElement.textContent);

async function controlD(page) {
  await page.keyboard.down("Control");
  await page.keyboard.press("KeyD");
  await page.keyboard.up("Control");
}

async function shiftTab(page) {
  await page.keyboard.down("Shift");
  await page.keyboard.press("Tab");
  await page.keyboard.up("Shift");
}

const noHorizontalScroll = (page) =>
  page.evaluate(() => document.documentElement.scrollWidth <= document.documentElement.clientWidth);

describe("a phone", () => {
  it("plays a game by taps alone, as typing plays it, with large targets and no sideways scrolling", async () => {
    const { page, problems } = await openGame(shared.browser, shared.server.url,
      { width: 390, height: 844, touch: true, colorScheme: "light" });
    // The statistics, a fight in the forest to its end, the shops, and QUIT.
    const plan = ["3:", "1:BATTLE", "1:FOREST", "1:", "2:SHOPS", "5:BACK", "4:QUIT"];
    const sent = [];
    let smallest = Infinity;
    let photographed = false;
    while (!(await page.evaluate(() => dusk.ended))) {
      const choices = await page.evaluate(() => dusk.choices);
      const wanted = choices.includes("1:ATTACK") ? "1:ATTACK" : choices[0] === "Continue" ? "Continue" : plan.shift();
      const index = choices.findIndex((choice) => choice.startsWith(wanted));
      assert.ok(index >= 0, `no ${wanted} among ${JSON.stringify(choices)}`);
      const sizes = await page.$$eval("button, input", (targets) =>
        targets.map((target) => target.getBoundingClientRect()).map(({ width, height }) => Math.min(width, height)));
      smallest = Math.min(smallest, ...sizes);
      assert.ok(await page.$eval("#latest", (latest) => {
        const { top } = latest.lastElementChild.getBoundingClientRect();
        return top >= 0 && top < document.getElementById("dock").getBoundingClientRect().top;
      }), "the newest screen's first line is out of sight");
      if (wanted === "1:ATTACK" && !photographed) {
        await page.screenshot({ path: join(results, "phone.png") });
        photographed = true;
      }
      const button = (await page.$$("#choices button"))[index];
      sent.push(await button.evaluate((tapped) => tapped.value));
      await answered(page, () => button.tap());
      assert.notEqual(await focused(page), "line", "a tap opened the on-screen keyboard");
      assert.ok(sent.length < 300, "the game went on too long");
    }
    const tapped = await page.evaluate(gameState);
    assert.ok(smallest >= 44, `a target of ${smallest} pixels`);
    assert.ok(await noHorizontalScroll(page), "sideways scrolling at 390 pixels");
    await page.setViewport({ width: 320, height: 640, isMobile: true, hasTouch: true });
    assert.ok(await noHorizontalScroll(page), "sideways scrolling at 320 pixels");

    const typed = await openGame(shared.browser, shared.server.url);
    await typeLines(typed.page, sent);
    assert.deepEqual(tapped, await typed.page.evaluate(gameState));
    assert.equal(tapped.status, 0);
    assert.deepEqual([...problems, ...typed.problems], []);
    await page.close();
    await typed.page.close();
  });
});

// Runs in the page: waits until the game has answered the tap `before` (it
// waits again, has ended, or a new game waits), notes what went wrong with
// that tap, and aims the next one at the choice that `pick` (0 to 1) selects
// (New game once the game has ended; QUIT only if `quit`): a point `spot` on
// it, where it is at this moment, which is where the finger will land.
async function answerAndAim({ before, pick, spot, quit }) {
  const answer = [];
  const faults = [];
  const dock = document.getElementById("dock");
  if (before) {
    const answered = () =>
      (dusk.waits !== before.waits || dusk.ended !== before.ended) && (dusk.ended || dusk.waits > 0);
    const heard = answered() || (await new Promise((resolve) => {
      const observer = new MutationObserver(() => answered() && done(true));
      const timer = setTimeout(() => done(false), 2000);
      function done(result) {
        observer.disconnect();
        clearTimeout(timer);
        resolve(result);
      }
      observer.observe(document.body, { childList: true, subtree: true, characterData: true, attributes: true });
    }));
    const echoes = [...document.querySelectorAll("#transcript pre.typed")];
    const sent = echoes.slice(echoes.indexOf(window.echoBeforeTap ?? null) + 1).map((echo) => echo.textContent);
    const right = before.value === null ? dusk.waits === 1 && sent.length === 0 : sent.length === 1 && sent[0] === before.value;
    if (!heard) answer.push(`${before.label} lost`);
    else if (!right) answer.push(`${before.label} tapped, ${before.value === null ? "no new game" : JSON.stringify(sent)} sent`);
    if (document.activeElement === document.getElementById("line")) answer.push(`${before.label} opened the keyboard`);
  }
  const ended = dusk.ended;
  const offered = ended
    ? [document.getElementById("new-game")]
    : [...document.querySelectorAll("#choices button")].filter((button) => quit || !/:QUIT$/.test(button.textContent));
  const button = offered[Math.floor(pick * offered.length)];
  const box = button.getBoundingClientRect();
  const [x, y] = [box.left + box.width * (0.2 + 0.6 * spot[0]), box.top + box.height * (0.2 + 0.6 * spot[1])];
  const label = ended ? "New game" : button.textContent;
  if (Math.min(box.width, box.height) < 44) faults.push(`${label}: ${box.width}x${box.height} pixels`);
  if (!button.contains(document.elementFromPoint(x, y))) faults.push(`${label}: out of sight or under something`);
  const newest = document.getElementById("latest").lastElementChild?.getBoundingClientRect();
  if (newest && !(newest.top >= 0 && newest.top < (dock ?? button).getBoundingClientRect().top)) {
    faults.push(`before ${label}: the newest screen's first line out of sight`);
  }
  if (document.documentElement.scrollWidth > document.documentElement.clientWidth) faults.push("sideways scrolling");
  window.echoBeforeTap = [...document.querySelectorAll("#transcript pre.typed")].at(-1) ?? null;
  return { answer, faults, x, y, label, ended, waits: dusk.waits, value: ended ? null : button.value };
}

// The same numbers for the same seed (mulberry32), from 0 to 1.
function numbers(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = Math.imul(state ^ (state >>> 15), 1 | state);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
}

// Taps choices picked at random, games one after another, until `taps` taps
// have been answered: half the taps land the moment the game waits, the rest
// up to 150 ms later, as a thumb on its way would. QUIT waits until a game
// has had 40 taps.
async function tapGames(page, taps, random) {
  const faults = [];
  let games = 1;
  let inGame = 0;
  let before = null;
  for (let tapped = 0; ; tapped++) {
    const aim = await page.evaluate(answerAndAim, { before, pick: random(), spot: [random(), random()], quit: inGame >= 40 });
    faults.push(...aim.answer.map((fault) => `tap ${tapped}: ${fault}`));
    faults.push(...aim.faults.map((fault) => `tap ${tapped + 1}, game ${games}: ${fault}`));
    if (tapped === taps || faults.length >= 20) return { faults, games, taps: tapped };
    if (aim.ended) [games, inGame] = [games + 1, 0];
    else inGame++;
    const delay = random() < 0.5 ? 0 : random() * 150;
    if (delay) await sleep(delay);
    await page.touchscreen.tap(aim.x, aim.y);
    before = aim;
  }
}

describe("a thumb", () => {
  it("sends the choice it taps, every time, as soon as the game waits, with motion and with reduced motion", async () => {
    const seed = Number(process.env.DUSK_TAP_SEED ?? Date.now() % 1e9);
    const random = numbers(seed);
    for (const [reducedMotion, taps] of [[false, 1000], [true, 300]]) {
      const { page, problems } = await openGame(shared.browser, shared.server.url,
        { width: 390, height: 844, touch: true, reducedMotion });
      const played = await tapGames(page, taps, random);
      const setting = `${reducedMotion ? "reduced" : "default"} motion, seed ${seed} (DUSK_TAP_SEED)`;
      assert.deepEqual(played.faults, [], setting);
      assert.ok(played.games >= 3, `${played.games} games, ${setting}`);
      assert.deepEqual(problems, []);
      await page.close();
    }
  });
});

describe("a long game", () => {
  it("leaves the page no larger: the newest screens, the newest output, and a line saying what went", async () => {
    const { page, problems } = await openGame(shared.browser, shared.server.url);
    const kept = await page.evaluate(async () => {
      const type = (line) => {
        dusk.type(line);
        return dusk.shown();
      };
      const nodes = () => {
        const walker = document.createTreeWalker(document);
        let count = 1;
        while (walker.nextNode()) count++;
        return count;
      };
      // Into a battle, then ITEM over and over: there are no items, and the round starts again.
      while (!dusk.choices.includes("5:ITEM")) await type(dusk.choices[0] === "Continue" ? "" : "1");
      const counts = [];
      for (let round = 1; round <= 2000; round++) {
        await type("5");
        if (round % 1000 === 0) counts.push(nodes());
      }
      return {
        counts,
        limits: dusk.limits,
        waits: dusk.waits,
        written: dusk.written,
        output: dusk.output,
        announced: dusk.announced,
        newest: document.querySelector("#latest pre").textContent,
        screens: document.querySelectorAll("#transcript pre:not(.typed)").length,
        older: document.getElementById("older").textContent,
      };
    });
    assert.equal(kept.counts[0], kept.counts[1], "the document grew");
    assert.equal(kept.screens, kept.limits.screens);
    assert.equal(kept.older, `${kept.waits - kept.limits.screens} earlier screens are no longer shown.`);
    assert.equal(kept.announced.length, kept.limits.screens);
    assert.equal(kept.announced.at(-1), kept.newest);
    assert.ok(kept.written > 2 * kept.limits.output, "too short a game to fill the output");
    assert.ok(kept.output.length >= kept.limits.output && kept.output.length <= 2 * kept.limits.output);
    assert.ok(kept.output.endsWith(kept.announced.slice(-3).join("")));
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("the keyboard alone", () => {
  it("plays, reaches every control and comes back, and starts a new game", async () => {
    const { page, problems } = await openGame(shared.browser, shared.server.url);
    assert.equal(await focused(page), "line", "the input line has the focus when the page opens");
    for (let enter = 0; enter < 3; enter++) await answered(page, () => page.keyboard.press("Enter"));

    // Back from the input line through the choices, forward to New game, back.
    const order = [];
    for (let step = 0; step < 4; step++) order.push(await shiftTab(page).then(() => focused(page)));
    for (let step = 0; step < 5; step++) order.push(await page.keyboard.press("Tab").then(() => focused(page)));
    order.push(await shiftTab(page).then(() => focused(page)));
    assert.deepEqual(order, ["4:QUIT", "3:STATS", "2:SHOPS", "1:BATTLE", "2:SHOPS", "3:STATS", "4:QUIT", "line", "new-game", "line"]);

    // STATS by Enter on its button, SHOPS typed, BACK and SHOPS pasted as two
    // lines, BACK typed, and Ctrl-D on the empty line ends the input.
    await shiftTab(page);
    await shiftTab(page);
    await answered(page, () => page.keyboard.press("Enter"));
    assert.equal(await focused(page), "line");
    await page.keyboard.type("2");
    await answered(page, () => page.keyboard.press("Enter"));
    await answered(page, () =>
      page.evaluate(() => {
        const data = new DataTransfer();
        data.setData("text/plain", "5\n2\n");
        document.activeElement.dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));
      }));
    await page.keyboard.type("5");
    await answered(page, () => page.keyboard.press("Enter"));
    await answered(page, () => controlD(page));

    const game = await page.evaluate(gameState);
    assert.equal(game.output, opening + newHeroStatistics + mainMenu + shopsMenu + mainMenu + shopsMenu + mainMenu);
    assert.deepEqual([game.ended, game.status, game.waits], [true, 0, 8]);
    assert.equal(await page.evaluate(() => dusk.screen()),
      `${title}\n${introductionFirst}\n${introductionSecond}\n${mainMenu}3\n${newHeroStatistics}${mainMenu}` +
        `2\n${shopsMenu}5\n2\n${mainMenu}${shopsMenu}5\n${mainMenu}`);
    assert.equal(await page.$eval("#status", (status) => status.textContent), "The game has ended.");
    assert.equal(await focused(page), "new-game");

    // New game by Enter: the title again, and the same keys replay the same game.
    await answered(page, () => page.keyboard.press("Enter"));
    assert.deepEqual(await page.evaluate(gameState), { output: title, waits: 1, ended: false, status: null });
    assert.equal(await focused(page), "line");
    await typeLines(page, ["", "", "", "3", "2", "5", "2", "5"]);
    await answered(page, () => controlD(page));
    assert.equal((await page.evaluate(gameState)).output, game.output);

    // And in the middle of a game.
    await answered(page, () => page.keyboard.press("Enter"));
    await typeLines(page, ["", "", "", "3"]);
    await page.keyboard.press("Tab");
    await answered(page, () => page.keyboard.press("Enter"));
    assert.deepEqual(await page.evaluate(gameState), { output: title, waits: 1, ended: false, status: null });
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("input that the console copes with", () => {
  it("gives the console's screens for garbage, unlisted numbers and lines longer than any buffer", async () => {
    const { page, problems } = await openGame(shared.browser, shared.server.url);
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
    assert.equal(game.output, opening + mainMenu.repeat(6) + shopsMenu + mainMenu);
    assert.deepEqual([game.ended, game.status], [true, 0]);
    await page.setViewport({ width: 320, height: 640 });
    assert.ok(await noHorizontalScroll(page), "a long line typed scrolls the page sideways");
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("axe-core", () => {
  it("finds no WCAG 2 A or AA fault on the title, the statistics, a battle and the end, dark and light, wide and narrow", async () => {
    const axe = await readFile(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");
    const page = await shared.browser.newPage();
    // The page's Content-Security-Policy would refuse the injected checker.
    await page.setBypassCSP(true);
    await page.goto(shared.server.url);
    await page.evaluate(() => dusk.shown());
    await page.evaluate(axe);
    const faults = [];
    const check = async (state) => {
      for (const colorScheme of ["dark", "light"]) {
        for (const width of [1280, 320]) {
          await page.emulateMediaFeatures([
            { name: "prefers-color-scheme", value: colorScheme },
            { name: "prefers-reduced-motion", value: "reduce" },
          ]);
          await page.setViewport({ width, height: 800 });
          if (state === "a battle" && colorScheme === "dark" && width === 1280) {
            await page.screenshot({ path: join(results, "desktop.png") });
          }
          const found = await page.evaluate(async () => {
            const tags = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22a", "wcag22aa"];
            const { violations } = await axe.run(document, { runOnly: { type: "tag", values: tags } });
            return violations.map((violation) => `${violation.id}: ${violation.nodes.map((node) => node.target).join(", ")}`);
          });
          faults.push(...found.map((fault) => `${state}, ${colorScheme}, ${width} px: ${fault}`));
        }
      }
    };
    await check("title");
    await typeLines(page, ["", "", "", "3"]);
    await check("statistics");
    await typeLines(page, ["1", "1", "1"]);
    assert.ok((await page.evaluate(() => dusk.choices)).includes("1:ATTACK"));
    await check("a battle");
    await typeLines(page, ["6", "4"]);
    assert.equal(await page.evaluate(() => dusk.ended), true);
    await check("the end");
    assert.deepEqual(faults, []);
    await page.close();
  });
});

describe("offline", () => {
  it("is installable, and after one visit plays with the network cut", async () => {
    // A site of its own (another port, another origin) keeps its worker away
    // from the other tests' pages; not in a context of its own, where
    // Chromium installs nothing.
    const site = await serveSite();
    const { page, problems } = await openGame(shared.browser, site.url);
    await page.evaluate(() => Promise.race([
      navigator.serviceWorker.ready,
      new Promise((resolve, reject) => setTimeout(() => reject(new Error("no service worker after 20 s")), 20000)),
    ]));
    const client = await page.createCDPSession();
    assert.deepEqual((await client.send("Page.getInstallabilityErrors")).installabilityErrors, []);

    await site.close();
    await page.setOfflineMode(true);
    await page.reload();
    await page.evaluate(() => dusk.shown());
    await typeLine(page, "");
    assert.equal(await page.evaluate(() => dusk.output), title + introductionFirst);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

describe("the page opened from disk", () => {
  it("plays without a server", async () => {
    const { page, problems } = await openGame(shared.browser, pathToFileURL(join(siteDir, "index.html")).href);
    await typeLines(page, ["", "", "", "4"]);
    assert.deepEqual(await page.evaluate(gameState), { output: opening, waits: 4, ended: true, status: 0 });
    assert.deepEqual(problems, []);
    await page.close();
  });
});
