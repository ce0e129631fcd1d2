// Writes the page that the site serves:
//
//   node write_page.mjs dusk.js dusk.wasm site/index.html site/page.css site/page.js out/index.html
//
// - The title: runs the engine under Node.js until the game first waits for
//   the player, and puts what it printed in place of the page's <!--title-->
//   mark (and a Continue button in place of <!--choices--> when the game waits
//   for Enter alone), so that the page shows the title before the engine has
//   even loaded in the browser.
// - The style and the script, in the page itself (<!--page.css-->,
//   <!--page.js-->), so that the first screen needs no other file; the
//   Content-Security-Policy allows exactly them, by their SHA-256 hashes.
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { runInNewContext } from "node:vm";

const [glueFile, wasmFile, pageFile, styleFile, scriptFile, outFile] = process.argv.slice(2);

// What the game prints before it first waits, and whether it waits for Enter alone.
function firstScreen() {
  const context = { WebAssembly, console, setTimeout, clearTimeout, TextDecoder, performance };
  runInNewContext(`${readFileSync(glueFile, "utf8")}\nthis.createDuskEngine = createDuskEngine;`, context);
  return new Promise((resolve, reject) => {
    let printed = "";
    context
      .createDuskEngine({
        instantiateWasm(imports, receiveInstance) {
          WebAssembly.instantiate(readFileSync(wasmFile), imports).then(
            ({ instance }) => receiveInstance(instance),
            reject,
          );
          return {};
        },
        page: {
          write: (bytes) => (printed += Buffer.from(bytes).toString("latin1")),
          read: (size, pause) => {
            resolve({ title: printed, pause });
            return new Promise(() => {});
          },
          ended: () => reject(new Error("the game ended before it waited")),
        },
      })
      .catch(reject);
  });
}

const { title, pause } = await firstScreen();
const style = readFileSync(styleFile, "utf8");
const script = readFileSync(scriptFile, "utf8");
const hash = (text) => `'sha256-${createHash("sha256").update(text).digest("base64")}'`;
const parts = {
  "<!--title-->": title.replace(/[&<>]/g, (c) => `&#${c.charCodeAt(0)};`),
  "<!--choices-->": pause ? `<button type="button" value="">Continue</button>` : "",
  "<!--page.css-->": `<style>${style}</style>`,
  "<!--page.js-->": `<script>${script}</script>`,
  "'hash-of-page.css'": hash(style),
  "'hash-of-page.js'": hash(script),
};
let page = readFileSync(pageFile, "utf8");
for (const [mark, part] of Object.entries(parts)) {
  if (!page.includes(mark)) throw new Error(`no ${mark} in ${pageFile}`);
  page = page.replace(mark, () => part);
}
writeFileSync(outFile, page);
