// Writes the engine's WebAssembly module into a script of its own:
//
//   node embed_module.mjs dusk.wasm dusk-module.js
//
// The script holds the module as base64 and starts compiling it the moment it
// runs, so the browser compiles the engine in the background while the
// terminal widget is still being set up. Being a script and not a .wasm file,
// it also loads when index.html is opened straight from disk, where a browser
// fetches nothing.
import { readFileSync, writeFileSync } from "node:fs";

const [wasmFile, scriptFile] = process.argv.slice(2);
const base64 = readFileSync(wasmFile).toString("base64");
writeFileSync(
  scriptFile,
  `// DUSK LYNX's engine, compiled from the game's C++ sources; made by embed_module.mjs.
self.duskModule = (() => {
  const base64 = "${base64}";
  let bytes;
  if (typeof Uint8Array.fromBase64 === "function") {
    bytes = Uint8Array.fromBase64(base64);
  } else {
    const text = atob(base64);
    bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  }
  return WebAssembly.compile(bytes);
})();
`,
);
