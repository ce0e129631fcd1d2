// Writes the page with the title in it: runs the engine under Node.js until
// the game first waits for the player, and puts what it printed in place of
// the page's <!--title--> mark (and a Continue button in place of
// <!--choices--> when the game waits for Enter alone), so that the page shows
// the title before the engine has even started in the browser.
//
//   node write_title.mjs dusk.js dusk.wasm index.html out/index.html
import { readFileSync, writeFileSync } from "node:fs";
import { runInNewContext } from "node:vm";

const [glueFile, wasmFile, pageFile, outFile] = process.argv.slice(2);
const context = { WebAssembly, console, setTimeout, clearTimeout, TextDecoder, performance };
runInNewContext(`${readFileSync(glueFile, "utf8")}\nthis.createDuskEngine = createDuskEngine;`, context);

const [title, pause] = await new Promise((resolve, reject) => {
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
          resolve([printed, pause]);
          return new Promise(() => {});
        },
        ended: () => reject(new Error("the game ended before it waited")),
      },
    })
    .catch(reject);
});
const escaped = title.replace(/[&<>]/g, (c) => `&#${c.charCodeAt(0)};`);
const page = readFileSync(pageFile, "utf8");
for (const mark of ["<!--title-->", "<!--choices-->"]) {
  if (!page.includes(mark)) throw new Error(`no ${mark} in ${pageFile}`);
}
const choices = pause ? `<button type="button" value="">Continue</button>` : "";
writeFileSync(outFile, page.replace("<!--title-->", escaped).replace("<!--choices-->", choices));
