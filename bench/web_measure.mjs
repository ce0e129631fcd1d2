// The web page measured in Debian's Chromium (headless): what the browser
// downloads, how soon the first prompt is on screen, and how soon each screen
// follows the player's Enter over the whole story.
//
//   node bench/web_measure.mjs [--site build/web/site] [--story tests/data/story.txt]
//                              [--repeats 7] [--lines N] [--check]
//
// Sizes: the engine (dusk-module.js, its WebAssembly module as a script, and
// dusk.js, its glue) and the page's script (page.js), raw and gzipped (level 9), against at most 100 KB gzipped; the
// terminal widget (xterm.js, its style, its fit addon and xterm-pty) apart.
// First prompt: from the start of navigation until the title has been drawn
// and the game waits, the median of --repeats page loads, first visits (an
// empty cache) and later ones; target 300 ms. With it, the CPU time of the
// page's main thread over a first visit, which other programs on the machine
// do not inflate.
// Enter to next screen: from sending a line until the game waits again and
// the terminal has drawn its answer, for each line of the story (or its first
// N), measured inside the page; target a median within one frame, 16 ms.
// --check fails only when the sizes miss their target: timings depend on the
// machine and never fail it.

import { readFile } from "node:fs/promises";
import { join, resolve } from "node:path";
import { parseArgs } from "node:util";
import { gzipSync } from "node:zlib";
import { launchBrowser, projectDir, serveSite } from "../web/test/harness.mjs";

const { values: options } = parseArgs({
  options: {
    site: { type: "string", default: join(projectDir, "build/web/site") },
    story: { type: "string", default: join(projectDir, "tests/data/story.txt") },
    repeats: { type: "string", default: "7" },
    lines: { type: "string" },
    check: { type: "boolean", default: false },
  },
});
const site = resolve(options.site);
const kilobytes = (bytes) => `${(bytes / 1024).toFixed(1)} KB`;
const milliseconds = (time) => `${time.toFixed(1)} ms`;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

function percentile(values, share) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))];
}

async function sizes(names) {
  let raw = 0;
  let gzipped = 0;
  for (const name of names) {
    const bytes = await readFile(join(site, name));
    raw += bytes.length;
    gzipped += gzipSync(bytes, { level: 9 }).length;
  }
  return { raw, gzipped };
}

// Installed before the page's own scripts: notes when the first prompt has
// been drawn, as soon as the page sets up window.dusk.
function watchFirstPrompt() {
  Object.defineProperty(window, "dusk", {
    configurable: true,
    set(dusk) {
      Object.defineProperty(window, "dusk", { value: dusk, writable: true, configurable: true });
      dusk
        .shown()
        .then(() => new Promise((drawn) => {
          const listener = dusk.terminal.onRender(() => {
            listener.dispose();
            drawn();
          });
        }))
        .then(() => {
          window.firstPromptAt = performance.now();
        });
    },
  });
}

async function loadTime(context, url) {
  const page = await context.newPage();
  await page.setViewport({ width: 1000, height: 700 });
  await page.evaluateOnNewDocument(watchFirstPrompt);
  await page.goto(url);
  await page.waitForFunction(() => window.firstPromptAt !== undefined);
  const time = await page.evaluate(() => window.firstPromptAt);
  await page.close();
  return time;
}

// A first visit loads every file afresh, in a context of its own with an
// empty cache; a later visit finds them in the browser's cache, which has
// also kept the scripts compiled. One load first, not counted, lets Chromium
// finish its own start-up.
async function firstPrompt(browser, url, repeats) {
  const warmUp = await browser.createBrowserContext();
  await loadTime(warmUp, url);
  await warmUp.close();
  const first = [];
  for (let repeat = 0; repeat < repeats; repeat++) {
    const context = await browser.createBrowserContext();
    first.push(await loadTime(context, url));
    await context.close();
  }
  const returning = await browser.createBrowserContext();
  for (let visit = 0; visit < 3; visit++) await loadTime(returning, url);
  const later = [];
  for (let repeat = 0; repeat < repeats; repeat++) later.push(await loadTime(returning, url));
  await returning.close();
  return { first, later };
}

// The CPU time that the page's renderer spent on its main thread, from a
// trace of one load: the thread that ran page.js, every task it ran until the
// trace stopped, just after the first prompt.
function rendererCpu(events) {
  const threads = new Map();
  for (const event of events) {
    if (event.name === "thread_name") threads.set(`${event.pid}:${event.tid}`, event.args.name);
  }
  const main = events.filter((event) => event.ph === "X" && threads.get(`${event.pid}:${event.tid}`) === "CrRendererMain");
  const pid = main.find((event) => String(event.args?.data?.url ?? "").endsWith("/page.js"))?.pid;
  const tasks = main.filter((event) => event.pid === pid && event.name === "ThreadControllerImpl::RunTask");
  return tasks.reduce((sum, task) => sum + (task.tdur ?? 0), 0) / 1000;
}

// The same loads as a first visit, traced: the main thread's CPU time does
// not grow when other programs share the machine, as the elapsed time does.
async function firstPromptCpu(browser, url, repeats) {
  const times = [];
  for (let repeat = 0; repeat < repeats; repeat++) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport({ width: 1000, height: 700 });
    await page.evaluateOnNewDocument(watchFirstPrompt);
    await page.tracing.start({ categories: ["toplevel", "devtools.timeline"] });
    await page.goto(url);
    await page.waitForFunction(() => window.firstPromptAt !== undefined);
    const trace = Buffer.from(await page.tracing.stop()).toString("utf8");
    times.push(rendererCpu(JSON.parse(trace).traceEvents));
    await context.close();
  }
  return times;
}

// Runs in the page: types each line when the game waits, and times it until
// the answer is drawn. A line after which nothing is drawn (the game has
// ended) is not timed. A player's Enter comes at any moment of a frame, not
// just after one was drawn: each line waits a random part of a frame first.
async function timeLines(lines) {
  const frame = 1000 / 60;
  const drawn = () =>
    new Promise((done) => {
      const listener = dusk.terminal.onRender(() => {
        listener.dispose();
        done();
      });
    });
  const times = [];
  for (const line of lines) {
    await new Promise((resume) => setTimeout(resume, Math.random() * frame));
    const start = performance.now();
    dusk.type(line);
    await dusk.shown();
    if (dusk.ended) break;
    await drawn();
    times.push(performance.now() - start);
  }
  return times;
}

async function main() {
  const engine = await sizes(["dusk-module.js", "dusk.js", "page.js"]);
  const widget = await sizes(["xterm.js", "xterm.css", "addon-fit.js", "xterm-pty.js"]);
  const page = await sizes(["index.html", "page.css"]);
  console.log(`engine and script (dusk-module.js + dusk.js + page.js): ${kilobytes(engine.raw)} raw, ${kilobytes(engine.gzipped)} gzipped (target: at most 100 KB gzipped)`);
  const embedded = (await readFile(join(site, "dusk-module.js"), "latin1")).match(/"([A-Za-z0-9+/=]{1000,})"/);
  if (embedded) {
    const module = Buffer.from(embedded[1], "base64");
    console.log(`  (its WebAssembly module alone: ${kilobytes(module.length)} raw, ${kilobytes(gzipSync(module, { level: 9 }).length)} gzipped)`);
  }
  console.log(`terminal widget (xterm.js, xterm.css, addon-fit.js, xterm-pty.js): ${kilobytes(widget.raw)} raw, ${kilobytes(widget.gzipped)} gzipped`);
  console.log(`page (index.html, page.css): ${kilobytes(page.raw)} raw, ${kilobytes(page.gzipped)} gzipped`);

  let lines = (await readFile(options.story, "latin1")).split("\n");
  if (lines.at(-1) === "") lines.pop();
  if (options.lines) lines = lines.slice(0, Number(options.lines));

  const server = await serveSite(site);
  const browser = await launchBrowser();
  try {
    const starts = await firstPrompt(browser, server.url, Number(options.repeats));
    for (const [visit, times] of [["first visit", starts.first], ["later visit", starts.later]]) {
      console.log(`first prompt on screen after navigation, ${visit}: median ${milliseconds(median(times))} ` +
        `of ${times.length} loads (min ${milliseconds(Math.min(...times))}, max ${milliseconds(Math.max(...times))}; target: 300 ms)`);
    }
    const cpu = await firstPromptCpu(browser, server.url, Number(options.repeats));
    console.log(`  of which the page's main thread was busy (CPU time), first visit: median ${milliseconds(median(cpu))} ` +
      `(min ${milliseconds(Math.min(...cpu))}, max ${milliseconds(Math.max(...cpu))})`);

    const tab = await browser.newPage();
    await tab.setViewport({ width: 1000, height: 700 });
    await tab.goto(server.url);
    await tab.waitForFunction(() => window.dusk !== undefined);
    await tab.evaluate(() => dusk.shown());
    const times = await tab.evaluate(timeLines, lines);
    console.log(`Enter to next screen drawn: median ${milliseconds(median(times))} over ${times.length} lines ` +
      `(90th percentile ${milliseconds(percentile(times, 0.9))}, max ${milliseconds(Math.max(...times))}; target: median 16 ms)`);
  } finally {
    await browser.close();
    await server.close();
  }

  if (options.check && engine.gzipped > 100 * 1024) {
    console.error("FAIL: the engine and script exceed 100 KB gzipped");
    process.exitCode = 1;
  }
}

await main();
