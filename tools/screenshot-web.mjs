// The page after a run, for the README: tools/sample-card's files (the
// missing one as an empty file, which fails) picked, Decode into a picked
// folder (the origin-private one: headless, the picker cannot be driven),
// the summary box closed and the pointer on the last row.
// Usage: node tools/screenshot-web.mjs OUT.png
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import {
  Decode, OpenBrowser, OpenPage, Serve, TempFolder,
} from '../tests/web/browser.mjs';

const [out] = process.argv.slice(2);
const cleanups = [];
const t = { after: (f) => cleanups.push(f) };
const folder = TempFolder(t);
const card = join(dirname(fileURLToPath(import.meta.url)), 'sample-card');
const paths = execFileSync(card, [join(folder, 'card')], { encoding: 'utf8' }).trim().split('\n');
writeFileSync(paths[2], '');

const server = await Serve(t);
const { context } = await OpenBrowser(t);
await context.addInitScript(() => {
  window.showDirectoryPicker = () => navigator.storage.getDirectory();
});
const { page } = await OpenPage(context, server.url);
await page.setInputFiles('#DOpen', paths);
await Decode(page);
await page.hover('#LBMain li:last-child', { position: { x: 60, y: 6 } });
await page.screenshot({ path: out, clip: { x: 0, y: 0, width: 560, height: 480 } });
for (const f of cleanups.reverse()) await f();
