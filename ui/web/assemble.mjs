// Puts the page together as one file that works from file:// as well as from
// any static host: the core's JavaScript and WebAssembly go into the Worker's
// source, which the page starts from a blob: URL, and the Content-Security-
// Policy allows exactly the inline script and style it carries (by hash),
// the blob: Worker and WebAssembly, and no connection at all.
// Usage: node assemble.mjs CORE.js CORE.wasm ICON.png OUT.html
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [coreJs, coreWasm, iconPng, out] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const read = (name) => readFileSync(join(here, name), 'utf8');

const worker = [
  readFileSync(coreJs, 'utf8'),
  `const kCoreWasmBase64 = '${readFileSync(coreWasm).toString('base64')}';`,
  read('worker.js'),
].join('\n');
const page = read('page.js');
const style = read('page.css');
for (const [name, text] of [['worker', worker], ['page', page]]) {
  if (/<\/script/i.test(text)) throw new Error(`${name} holds </script`);
}

const hash = (text) =>
  `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;
const csp = [
  "default-src 'none'",
  `script-src ${hash(page)} 'wasm-unsafe-eval'`,
  'worker-src blob:',
  `style-src ${hash(style)}`,
  'img-src data:',
  "connect-src 'none'",
  "form-action 'none'",
  "base-uri 'none'",
].join('; ');
const icon = `data:image/png;base64,${readFileSync(iconPng).toString('base64')}`;

// Replaced by function, so that a "$" in the sources stays as it is.
const html = read('velkrane.html')
  .replace('@CSP@', () => csp)
  .replaceAll('@ICON@', () => icon)
  .replace('@STYLE@', () => style)
  .replace('@WORKER@', () => worker)
  .replace('@PAGE@', () => page);
writeFileSync(out, html);
