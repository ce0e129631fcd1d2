// Writes the engine's WebAssembly module into a script of its own:
//
//   node embed_module.mjs dusk.wasm dusk-module.js
//
// The script holds the module gzipped, as base64 (a third smaller to download
// than the module's own base64, even when the server gzips both), and starts
// unpacking and compiling it the moment it runs. Being a script and not a
// .wasm file, it also loads when index.html is opened straight from disk,
// where a browser fetches nothing, and it needs no connection at all.
import { readFileSync, writeFileSync } from "node:fs";
import { gzipSync } from "node:zlib";

const [wasmFile, scriptFile] = process.argv.slice(2);
const base64 = gzipSync(readFileSync(wasmFile), { level: 9 }).toString("base64");
writeFileSync(
  scriptFile,
  `// DUSK LYNX's engine, compiled from the game's C++ sources; made by embed_module.mjs.
self.duskModule = (async () => {
  const base64 = "${base64}";
  let packed;
  if (Uint8Array.fromBase64) {
    packed = Uint8Array.fromBase64(base64);
  } else {
    const text = atob(base64);
    packed = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) packed[i] = text.charCodeAt(i);
  }
  const unpacked = new Blob([packed]).stream().pipeThrough(new DecompressionStream("gzip"));
  return WebAssembly.compile(await new Response(unpacked).arrayBuffer());
})();
`,
);
