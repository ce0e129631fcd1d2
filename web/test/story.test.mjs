// The whole story typed into the page, one line at each wait, must give byte
// for byte the console game's approved output for the same input (its title's
// version line made the build's own) and end with status 0. On the way: the
// transcript shows each screen with the lines typed where a console echoes
// them, the live region gets each new screen whole, once, and the page tells
// a pause (Continue) from a menu (its choices) at every wait.

import { describe, it } from "node:test";
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { readFile, writeFile } from "node:fs/promises";
import { join } from "node:path";
import { openGame, projectDir, resultsDir as results, siteAndBrowser, withVersion } from "./harness.mjs";
import { firstDifference, version } from "./texts.mjs";

const storyInput = process.env.DUSK_STORY_INPUT ?? join(projectDir, "tests/data/story.txt");
const storyOutput = process.env.DUSK_STORY_OUTPUT ?? join(projectDir, "tests/data/transcripts/story.out");

// Runs in the page: types each line when the game waits, and notes at each
// wait what the game had printed so far and the choices offered. Every node
// added to the live region is noted as it comes.
async function playStory(lines) {
  const added = [];
  new MutationObserver((changes) => {
    for (const change of changes) for (const node of change.addedNodes) added.push(node.textContent);
  }).observe(document.querySelector("[aria-live]"), { childList: true, subtree: true });
  const waits = [];
  for (const line of lines) {
    if (dusk.ended) break;
    waits.push({ printed: dusk.output.length, choices: dusk.choices.slice(), line });
    dusk.type(line);
    await dusk.shown();
  }
  return { waits, added, announced: dusk.announced, transcript: await dusk.screen() };
}

describe("the whole story in the page", () => {
  const shared = siteAndBrowser();

  it("gives the console's output, screen by screen, in the transcript and to a screen reader", async () => {
    assert.ok(existsSync(storyOutput), `no approved transcript of the story at ${storyOutput}`);
    const expected = withVersion(await readFile(storyOutput, "latin1"), version);
    const lines = (await readFile(storyInput, "latin1")).split("\n");
    if (lines.at(-1) === "") lines.pop();

    const { page, problems } = await openGame(shared.browser, shared.server.url, { width: 1280, height: 800 });
    const { waits, added, announced, transcript } = await page.evaluate(playStory, lines);
    const game = await page.evaluate(() => ({ ...dusk }));
    if (game.output !== expected) await writeFile(join(results, "story.page.txt"), game.output, "latin1");
    assert.ok(game.output === expected,
      `the page's output differs from ${storyOutput} (it is in ${results}/story.page.txt), ` +
        `first at ${firstDifference(game.output, expected)}`);
    assert.equal(waits.length, lines.length, "the game ended before the story did");
    assert.deepEqual([game.ended, game.status, game.waits], [true, 0, lines.length]);

    // What the game printed between two waits is a screen; the title was in
    // the page from the start, every later one is added to the live region.
    const ends = [...waits.map((wait) => wait.printed), game.output.length];
    const screens = ends.slice(1).map((end, i) => game.output.slice(ends[i], end));
    assert.equal(game.output.slice(0, ends[0]), await page.$eval("#transcript pre", (title) => title.textContent));
    assert.deepEqual(added, screens.filter((screen) => screen !== ""));
    assert.deepEqual(announced, added);
    assert.equal(transcript,
      waits.map((wait, i) => game.output.slice(i ? ends[i - 1] : 0, ends[i]) + wait.line + "\n").join("") + screens.at(-1));

    // The story presses Enter alone exactly at the pauses, and picks a listed
    // choice at every menu but for two unlisted numbers.
    for (const { printed, choices, line } of waits) {
      const where = `at ${JSON.stringify(game.output.slice(Math.max(0, printed - 80), printed))}`;
      if (line === "") assert.deepEqual(choices, ["Continue"], where);
      else assert.ok(choices.some((choice) => choice.startsWith(`${line}:`)) || line === "7777", `${line} ${where}`);
    }

    // Chromium's accessibility tree has the region as a polite live log.
    const client = await page.createCDPSession();
    const { root } = await client.send("DOM.getDocument");
    const { nodeId } = await client.send("DOM.querySelector", { nodeId: root.nodeId, selector: "#latest" });
    const { nodes } = await client.send("Accessibility.getPartialAXTree", { nodeId, fetchRelatives: false });
    const properties = Object.fromEntries(nodes[0].properties.map((property) => [property.name, property.value.value]));
    assert.equal(nodes[0].role.value, "log");
    assert.equal(properties.live, "polite");
    assert.deepEqual(problems, []);
  });
});
