// What the page's tests share: X3F files built byte by byte (sparse where
// they are camera-sized), velkrane-cli's copies of them, a local static
// server that logs every request, and Debian's Chromium in a profile of its
// own, watched for any request beyond the page itself.
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import {
  closeSync, mkdtempSync, openSync, readFileSync, rmSync, writeSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const kPage = join(root, 'dist/web/velkrane.html');
const kCli = resolve(root, process.env.VELKRANE_CLI ?? 'build/linux/ui/cli/velkrane-cli');
const kChromium = process.env.VELKRANE_CHROMIUM ?? '/usr/bin/chromium';

export function TempFolder(t) {
  const folder = mkdtempSync(join(tmpdir(), 'velkrane-web-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

const u32 = (v) => {
  const b = Buffer.alloc(4);
  b.writeUInt32LE(v >>> 0);
  return b;
};
const kSignature = { PROP: 'SECp', CAMF: 'SECc', IMAG: 'SECi', IMA2: 'SECi' };

// An X3F of `length` bytes as pieces [offset, bytes]: "FOVb", sections of
// `types` sharing the room up to the directory (each its signature, then
// zeros), the directory listing them and its offset.
export function X3f(types, length) {
  const directory = length - 16 - 12 * types.length;
  const section = Math.floor((directory - 16) / types.length);
  const pieces = [[0, Buffer.from('FOVb')]];
  const entries = [Buffer.from('SECd'), u32(0x00020000), u32(types.length)];
  types.forEach((type, k) => {
    const at = 16 + k * section;
    pieces.push([at, Buffer.from(kSignature[type] ?? 'SECx')]);
    entries.push(u32(at), u32(section), Buffer.from(type));
  });
  entries.push(u32(directory));
  pieces.push([directory, Buffer.concat(entries)]);
  return { length, pieces };
}

// Writes the pieces at `at` onward; the file's size is `size` (holes between
// the pieces stay sparse).
export function WriteFile(path, size, parts) {
  const fd = openSync(path, 'w');
  try {
    if (size > 0) writeSync(fd, Buffer.alloc(1), 0, 1, size - 1);
    for (const { at, x3f } of parts) {
      for (const [offset, bytes] of x3f.pieces) writeSync(fd, bytes, 0, bytes.length, at + offset);
    }
  } finally {
    closeSync(fd);
  }
}

const kPropLast = ['CAMF', 'IMAG', 'IMA2', 'PROP'];
// Later cameras: a thumbnail, CAMF, PROP, a preview, the image.
const kLater = ['IMA2', 'CAMF', 'PROP', 'IMA2', 'IMA2'];
const kJunk = Buffer.from('junk PROP junk '.repeat(40));

// The cases every saving way is checked on, as [name, size, parts]. The
// junk holds "PROP" so that a wrong cut would show.
export function WriteCases(folder) {
  const small = X3f(kPropLast, 4096);
  const later = X3f(kLater, 45_000_000);
  const cases = [
    ['SDIM0001.X3F', 4096 + kJunk.length, [{ at: 0, x3f: small },
      { at: 4096, x3f: { pieces: [[0, kJunk]] } }]],
    ['SDIM0002.X3F', 4096, [{ at: 0, x3f: small }]],
    ['SDIM0003.X3F', 8192 + 300, [{ at: 0, x3f: X3f(['CAMF', 'PROP', 'IMA2', 'IMA2'], 4096) },
      { at: 4096, x3f: X3f(['CAMF', 'PROP', 'IMA2', 'IMA2'], 4096) }]],
    ['SDIM0004.X3F', 45_300_000, [{ at: 0, x3f: later }]],
    ['SDIM0005.X3F', 2048, []],
    ['SDIM0006.X3F', 0, []],
  ];
  return cases.map(([name, size, parts]) => {
    const path = join(folder, name);
    WriteFile(path, size, parts);
    return path;
  });
}

export const Sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

// velkrane-cli over `paths`, its copies in `out`: by file name, the result
// line's text after "PATH:" and the copy's digest (none without a copy).
export function CliResults(paths, out) {
  let text;
  try {
    text = execFileSync(kCli, ['-o', out, ...paths], { encoding: 'utf8' });
  } catch (e) {
    text = e.stdout;  // exit status 1: some file had no tail or failed
  }
  const results = new Map();
  for (const path of paths) {
    const line = text.split('\n').find((l) => l.startsWith(`${path}:`));
    const name = path.slice(path.lastIndexOf('/') + 1);
    let digest = null;
    try {
      digest = Sha256(readFileSync(join(out, name)));
    } catch (e) {
      // no copy
    }
    // The command line adds the verdict after a copy; Decode's text ends before.
    results.set(name, { message: line.slice(path.length + 1).replace(/ \(complete X3F\)$/, ''),
      digest });
  }
  return results;
}

// Serves the page and logs every request it gets. Without its policy
// (`policy: false`), every request the page's own code makes comes through,
// where the policy would have stopped it unseen.
export async function Serve(t, { policy = true } = {}) {
  const requests = [];
  let page = readFileSync(kPage, 'utf8');
  if (!policy) {
    const stripped = page.replace(/<meta http-equiv="Content-Security-Policy"[^>]*>/, '');
    if (stripped === page) throw new Error('the page has no policy');
    page = stripped;
  }
  const server = createServer((request, response) => {
    requests.push(request.url);
    if (request.url === '/velkrane.html') {
      response.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
      response.end(page);
    } else {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  t.after(() => new Promise((done) => {
    server.closeAllConnections();
    server.close(done);
  }));
  const base = `http://127.0.0.1:${server.address().port}`;
  return { url: `${base}/velkrane.html`, base, requests };
}

// Chromium in a fresh profile; `requests` collects every request any page or
// worker of it makes, which a test compares with the page's own address.
export async function OpenBrowser(t) {
  const profile = mkdtempSync(join(tmpdir(), 'velkrane-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: kChromium,
    headless: true,
    acceptDownloads: true,
    viewport: { width: 720, height: 560 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update',
      '--disable-sync'],
  });
  // The profile goes once the browser has stopped writing into it.
  t.after(async () => {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  });
  const requests = [];
  context.on('request', (r) => requests.push(r.url()));
  context.on('weberror', (e) => requests.push(`error: ${e.error().message}`));
  return { context, requests };
}

export const FileUrl = (path) => pathToFileURL(path).href;

// Opens the page and waits for its Worker's core; console errors and CSP
// violations are collected in `problems`.
export async function OpenPage(context, url) {
  const page = await context.newPage();
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.on('pageerror', (e) => problems.push(e.message));
  await page.goto(url);
  await page.waitForFunction(() => window.velkrane);
  return { page, problems };
}

// The status panel's texts in order, from the page's first change on.
export async function WatchStatus(page) {
  await page.evaluate(() => {
    window.statusTexts = [];
    const panel = document.getElementById('SBarPanel1');
    // Records, not the panel's text: one callback may bring several changes.
    new MutationObserver((records) => {
      for (const r of records) {
        for (const node of r.addedNodes) window.statusTexts.push(node.textContent);
      }
    }).observe(panel, { childList: true });
  });
  return () => page.evaluate(() => window.statusTexts);
}

// Each row's mark and hover text.
export const Rows = (page) => page.$$eval('#LBMain li', (rows) =>
  rows.map((r) => ({ name: r.lastChild.textContent, mark: r.dataset.mark ?? null,
    tip: r.dataset.tip ?? null, ms: Number(r.dataset.workerMs),
    memory: Number(r.dataset.workerMemory) })));

// Drags `paths` onto the list as a file manager would, through the
// browser's own drag and drop.
export async function DropPaths(context, page, paths) {
  const cdp = await context.newCDPSession(page);
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await cdp.send('Input.dispatchDragEvent', { type, x: 100, y: 150, data });
  }
}

// Presses Decode and waits for the summary box.
export async function Decode(page) {
  await page.click('#Button1');
  // However long the run takes: a busy machine is slow, not wrong.
  await page.waitForSelector('#box[open]', { timeout: 0 });
  const summary = await page.textContent('#box-text');
  await page.click('#box-ok');
  return summary;
}
