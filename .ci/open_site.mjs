// Opens a site folder's index.html from disk in headless Chromium, as someone
// who unpacked the web zip would, and plays a short game in it:
//   node .ci/open_site.mjs SITE EXPECTED LINE...
// types each LINE, then fails unless the page drew the title, the game
// printed exactly the file EXPECTED and ended with status 0, and nothing went
// wrong in the page (an error, a failed request, a request outside the site).
import { readFileSync } from "node:fs";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";
import { gameState, launchBrowser, openGame, typeLine } from "../web/test/harness.mjs";

const [site, expectedFile, ...lines] = process.argv.slice(2);
if (!site || !expectedFile) {
  console.error("usage: node .ci/open_site.mjs SITE EXPECTED LINE...");
  process.exit(2);
}
const expected = readFileSync(expectedFile, "latin1");
const url = pathToFileURL(join(resolve(site), "index.html")).href;

const browser = await launchBrowser();
const faults = [];
try {
  const { page, problems } = await openGame(browser, url);
  const title = await page.title();
  const drawn = await page.evaluate(() => document.body.innerText);
  if (!title.includes("DUSK LYNX") || !drawn.includes("***DUSK  LYNX***")) {
    faults.push(`no title drawn (title "${title}")`);
  }
  for (const line of lines) await typeLine(page, line);
  const { output, ended, status } = await page.evaluate(gameState);
  if (output !== expected) faults.push(`the game printed:\n${output}\ninstead of:\n${expected}`);
  if (!ended || status !== 0) faults.push(`the game did not end with status 0 (ended ${ended}, status ${status})`);
  faults.push(...problems);
} finally {
  await browser.close();
}
if (faults.length) {
  console.error(`${url}:\n${faults.join("\n")}`);
  process.exit(1);
}
console.log(`${url}: the title drawn, a short game played`);
