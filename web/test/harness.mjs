// What the browser tests and the browser measurement share: the site served
// from 127.0.0.1, Debian's Chromium driven headless by puppeteer-core, and a
// page that records every error and every request it makes.

import { existsSync } from "node:fs";
import { createServer } from "node:http";
import { mkdir, readFile, stat } from "node:fs/promises";
import { extname, join, normalize, resolve, sep } from "node:path";
import { after, before } from "node:test";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";

// CTest names the files of its build; run by hand, the tests take those of
// the web preset's build, wherever they are started from.
export const projectDir = fileURLToPath(new URL("../..", import.meta.url));
export const siteDir = resolve(process.env.DUSK_SITE ?? join(projectDir, "build/web/site"));
// Where the tests leave what they photograph, and what they found differing.
export const resultsDir = resolve(process.env.DUSK_TEST_OUTPUT ?? join(projectDir, "build/web/browser-tests"));

const contentTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".webmanifest": "application/manifest+json",
  ".svg": "image/svg+xml",
  ".png": "image/png",
};

// Serves the site folder on a free port of 127.0.0.1, nothing outside it, as
// a static host does: with the files' dates, so that a browser revalidates
// what it has kept instead of loading it again. `sent` lists the paths it
// answered with a file's content.
export async function serveSite(root = siteDir) {
  const sent = [];
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, "http://x").pathname);
    const file = normalize(join(root, path.endsWith("/") ? path + "index.html" : path));
    try {
      if (!file.startsWith(root + sep)) throw new Error("outside the site");
      const modified = (await stat(file)).mtime.toUTCString();
      const headers = { "Last-Modified": modified, "Cache-Control": "no-cache" };
      if (request.headers["if-modified-since"] === modified) {
        response.writeHead(304, headers).end();
        return;
      }
      const body = await readFile(file);
      headers["Content-Type"] = contentTypes[extname(file)] ?? "application/octet-stream";
      response.writeHead(200, headers);
      response.end(body);
      sent.push(path);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((ready) => server.listen(0, "127.0.0.1", ready));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    sent,
    close: () => {
      server.closeAllConnections();
      return new Promise((done) => server.close(done));
    },
  };
}

// Headless Chromium without the background traffic that a closed network
// refuses (updates, sync, field trials), and with `flags` of its own.
export function launchBrowser(flags = []) {
  const chromium = process.env.DUSK_CHROMIUM ?? "/usr/bin/chromium";
  if (!existsSync(chromium)) {
    throw new Error(`no browser at ${chromium}: install Debian's chromium (apt-get install chromium), or set DUSK_CHROMIUM`);
  }
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: [
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-default-apps",
      "--disable-extensions",
      ...flags,
    ],
  });
}

// Opens the page at `url` in `context` (a browser or one of its contexts) and
// waits until the game first waits for the player. `problems` collects page
// errors, console errors and warnings, failed requests, and requests for
// anything not under `url`'s folder. The options: the viewport's `width` and
// `height`, a phone's `touch` screen, the system's `colorScheme` and its wish
// for `reducedMotion`.
export async function openGame(context, url, options = {}) {
  const { width = 1000, height = 700, touch = false, colorScheme = "dark", reducedMotion = false } = options;
  const page = await context.newPage();
  await page.setViewport({ width, height, isMobile: touch, hasTouch: touch });
  await page.emulateMediaFeatures([
    { name: "prefers-color-scheme", value: colorScheme },
    { name: "prefers-reduced-motion", value: reducedMotion ? "reduce" : "no-preference" },
  ]);
  const problems = watchProblems(page, url);
  await page.goto(url);
  await page.evaluate(() => dusk.shown());
  return { page, problems };
}

export function watchProblems(page, url) {
  const problems = [];
  const base = new URL(".", url).href;
  page.on("pageerror", (error) => problems.push(`page error: ${error.message}`));
  page.on("console", (message) => {
    if (["error", "warn", "assert"].includes(message.type())) {
      problems.push(`console ${message.type()}: ${message.text()}`);
    }
  });
  page.on("request", (request) => {
    const target = request.url();
    if (!target.startsWith(base) && !target.startsWith("data:")) {
      problems.push(`request outside the site: ${target}`);
    }
  });
  page.on("requestfailed", (request) => problems.push(`request failed: ${request.url()}`));
  page.on("response", (response) => {
    if (response.status() >= 400) problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  return problems;
}

// Types one line into the page and waits until the game's answer is shown.
export function typeLine(page, line) {
  return page.evaluate((text) => {
    dusk.type(text);
    return dusk.shown();
  }, line);
}

// What window.dusk tells of the game, for page.evaluate.
export function gameState() {
  const { output, waits, ended, status } = window.dusk;
  return { output, waits, ended, status };
}

// The title's version line in `text` made the one of `version`.
export function withVersion(text, version) {
  return text.replaceAll(/\*\*\*DUSK {2}LYNX\*\*\*\nV[^\n]*\n/g, `***DUSK  LYNX***\nV${version}\n`);
}

// For a test file: before its tests, the site served and the browser started
// (and the results folder made); after them, both closed again. The object
// returned has them as `server` and `browser` once the tests run.
export function siteAndBrowser() {
  const shared = {};
  before(async () => {
    shared.server = await serveSite();
    shared.browser = await launchBrowser();
    await mkdir(resultsDir, { recursive: true });
  });
  after(async () => {
    await shared.browser?.close();
    await shared.server?.close();
  });
  return shared;
}
