// The whole story typed into the page, one line at each wait, must give
// byte for byte the console game's approved output for the same input (its
// title's version line made the build's own), and end with status 0.

import { after, before, describe, it } from "node:test";
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { mkdir, readFile, writeFile } from "node:fs/promises";
import { join } from "node:path";
import {
  gameState,
  launchBrowser,
  openGame,
  projectDir,
  serveSite,
  typeLine,
  withVersion,
} from "./harness.mjs";
import { firstDifference, version } from "./texts.mjs";

const storyInput = process.env.DUSK_STORY_INPUT ?? join(projectDir, "tests/data/story.txt");
const storyOutput = process.env.DUSK_STORY_OUTPUT ?? join(projectDir, "tests/data/transcripts/story.out");
const results = process.env.DUSK_TEST_OUTPUT ?? join(projectDir, "build/web/browser-tests");

describe("the whole story in the page", () => {
  let server;
  let browser;
  before(async () => {
    server = await serveSite();
    browser = await launchBrowser();
    await mkdir(results, { recursive: true });
  });
  after(async () => {
    await browser?.close();
    await server?.close();
  });

  it("gives the console game's output, byte for byte, and ends with status 0", async () => {
    assert.ok(existsSync(storyOutput), `no approved transcript of the story at ${storyOutput}`);
    const input = await readFile(storyInput, "latin1");
    const expected = withVersion(await readFile(storyOutput, "latin1"), version);
    const lines = input.split("\n");
    if (lines.at(-1) === "") lines.pop();

    const { page, problems } = await openGame(browser, server.url);
    let typed = 0;
    for (; typed < lines.length; typed++) {
      if (await page.evaluate(() => dusk.ended)) break;
      await typeLine(page, lines[typed]);
    }
    const game = await page.evaluate(gameState);
    await page.screenshot({ path: join(results, "story-end.png") });

    if (game.output !== expected) {
      await writeFile(join(results, "story.page.txt"), game.output, "latin1");
    }
    assert.ok(
      game.output === expected,
      `the page's output differs from ${storyOutput} (it is in ${results}/story.page.txt), ` +
        `first at ${firstDifference(game.output, expected)}`,
    );
    assert.equal(typed, lines.length, "the game ended before the story did");
    assert.equal(game.ended, true);
    assert.equal(game.status, 0);
    // The game waited once for each line: it never waits while a typed line is
    // unread, and a pause right after a menu choice takes that line's end.
    assert.equal(game.waits, lines.length);
    assert.deepEqual(problems, []);
  });
});
