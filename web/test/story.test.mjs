// The whole story typed into the page, one line at each wait, must give byte
// for byte the console game's approved output for the same input (its title's
// version line made the build's own) and end with status 0. On the way: the
// transcript shows each screen with the lines typed where a console echoes
// them (the newest screens, the story being longer than the transcript
// keeps), the live region gets each new screen whole, once, and the page
// tells a pause (Continue) from a menu (its choices) at every wait.

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
// added to the live region is noted as it comes. The page keeps all of the
// output and of the screens announced.
async function playStory(lines) {
  dusk.record();
  const title = document.querySelector("#transcript pre").textContent;
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
  const transcript = await dusk.screen();
  return { title, waits, added, announced: dusk.announced, transcript, older: document.getElementById("older").textContent };
}

describe("the whole story in the page", () => {
  const shared = siteAndBrowser();

  it("gives the console's output, screen by screen, in the transcript and to a screen reader", async () => {
    assert.ok(existsSync(storyOutput), `no approved transcript of the story at ${storyOutput}`);
    const expected = withVersion(await readFile(storyOutput, "latin1"), version);
    const lines = (await readFile(storyInput, "latin1")).split("\n");
    if (lines.at(-1) === "") lines.pop();

    const { page, problems } = await openGame(shared.browser, shared.server.url, { width: 1280, height: 800 });
    const { title, waits, added, announced, transcript, older } = await page.evaluate(playStory, lines);
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
    assert.equal(game.output.slice(0, ends[0]), title);
    assert.deepEqual(added, screens.filter((screen) => screen !== ""));
    assert.deepEqual(announced, added);

    // The transcript: each screen, then the lines typed at it; the oldest
    // screens, and their lines, gone, as its first line says.
    const blocks = [title, ...screens].flatMap((screen, i) => [
      ...(screen === "" ? [] : [{ text: screen, screen: true }]),
      ...(i < waits.length ? [{ text: waits[i].line + "\n", screen: false }] : []),
    ]);
    const starts = blocks.flatMap((block, i) => (block.screen ? [i] : []));
    const gone = starts.length - game.limits.screens;
    assert.ok(gone > 0, "the story no longer outgrows the transcript");
    assert.equal(transcript, blocks.slice(starts[gone]).map((block) => block.text).join(""));
    assert.equal(older, `${gone} earlier screens are no longer shown.`);

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
