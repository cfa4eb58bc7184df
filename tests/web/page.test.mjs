// The page in headless Chromium: Select, Decode, the status texts in order,
// the marks and their hover texts, the copies' bytes against velkrane-cli's
// on the same files, both ways of saving, and no request beyond the page.
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import {
  CliResults, Decode, DropPaths, FileUrl, kPage, OpenBrowser, OpenPage, Rows, Serve, Sha256,
  TempFolder, WatchStatus, WriteCases, WriteFile, X3f,
} from './browser.mjs';

const kMarks = { written: 'written', none: 'no-tail', failed: 'failed' };

// What Decode must show for each case, from velkrane-cli's own lines.
function Expected(cli) {
  const texts = [];
  const rows = [];
  for (const [name, { message, digest }] of cli) {
    texts.push(`Processing file ${name}...`, `${name}:${message}`);
    const mark = digest ? kMarks.written
      : message === 'Failed to post-process - no file tail found.' ? kMarks.none
        : kMarks.failed;
    rows.push({ name, mark, tip: digest ? `${name}:${message}\ncomplete X3F` : `${name}:${message}` });
  }
  return { texts, rows };
}

function CheckRun(got, want, summary) {
  assert.deepEqual(got.texts, [...want.texts, 'Ready.', summary]);
  assert.deepEqual(got.rows.map(({ name, mark, tip }) => ({ name, mark, tip })), want.rows);
}

// The page asks for a folder: headless, the picker cannot be driven, so it
// gets the origin-private file system's root, the same API's folder.
const kPickPrivateFolder = () => {
  window.showDirectoryPicker = () => navigator.storage.getDirectory();
};

test('Decode into a picked folder: the copies are velkrane-cli\'s, nothing else is fetched', async (t) => {
  const folder = TempFolder(t);
  const sources = WriteCases(folder);
  const cli = CliResults(sources, join(folder, 'cli'));
  const server = await Serve(t, { policy: false });
  const { context, requests } = await OpenBrowser(t);
  await context.addInitScript(kPickPrivateFolder);
  const { page, problems } = await OpenPage(context, server.url);

  assert.equal(await page.textContent('#L1'), 'Morlisk - Velkrane - Quendar');
  assert.deepEqual(await page.$$eval('button', (b) => b.map((e) => e.textContent)),
    ['Select', 'Clear', 'Decode', 'OK']);
  assert.match(await page.textContent('#network'), /sends nothing anywhere/);

  await page.click('#Button1');
  assert.equal(await page.textContent('#box-text'), 'Sorry, no files selected.');
  await page.click('#box-ok');

  const chooser = page.waitForEvent('filechooser');
  await page.click('#Button2');
  await (await chooser).setFiles(sources);
  const status = await WatchStatus(page);
  const summary = await Decode(page);
  assert.equal(summary, 'Post-Process Completed. - New X3F Files were Saved atPostProcessed/');
  CheckRun({ texts: await status(), rows: await Rows(page) }, Expected(cli), summary);
  await page.hover('#LBMain li:nth-child(4)');
  assert.equal(await page.textContent('#tip:not([hidden])'),
    'SDIM0004.X3F:Post-processed successfully! - saved as SDIM0004.X3F\ncomplete X3F');

  // What the folder holds, by name and digest: exactly the command line's copies.
  const saved = await page.evaluate(async () => {
    const root = await navigator.storage.getDirectory();
    const output = await root.getDirectoryHandle('PostProcessed');
    const out = {};
    for await (const [name, handle] of output.entries()) {
      const bytes = await (await handle.getFile()).arrayBuffer();
      const digest = await crypto.subtle.digest('SHA-256', bytes);
      out[name] = [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join('');
    }
    return out;
  });
  const want = Object.fromEntries([...cli].filter(([, r]) => r.digest).map(([n, r]) => [n, r.digest]));
  assert.deepEqual(saved, want);
  assert.equal(Object.keys(want).length, 4);

  // A second Decode over the same list replaces its own copies, and a Clear
  // empties the list.
  await Decode(page);
  assert.deepEqual((await Rows(page)).map((r) => r.mark), Expected(cli).rows.map((r) => r.mark));
  await page.click('#Button3');
  assert.deepEqual(await Rows(page), []);

  // Served without its policy, the page and its Worker asked for nothing but the page.
  assert.deepEqual(server.requests, ['/velkrane.html']);
  assert.deepEqual(requests.filter((u) => u !== server.url && !u.startsWith('blob:')), []);
  assert.deepEqual(problems, []);
});

test('Decode from file:// without a folder picker: each copy is a download', async (t) => {
  const folder = TempFolder(t);
  const sources = WriteCases(folder);
  const cli = CliResults(sources, join(folder, 'cli'));
  const { context, requests } = await OpenBrowser(t);
  // As in browsers without the File System Access API.
  await context.addInitScript(() => { delete window.showDirectoryPicker; });
  const { page, problems } = await OpenPage(context, FileUrl(kPage));

  // A drop of files works from the disk too, and replaces the list.
  await page.setInputFiles('#DOpen', sources.slice(0, 1));
  await DropPaths(context, page, sources);
  await page.waitForFunction((n) => document.querySelectorAll('#LBMain li').length === n, sources.length);
  const downloads = [];
  page.on('download', (d) => downloads.push(d));
  const status = await WatchStatus(page);
  const summary = await Decode(page);
  assert.equal(summary, 'Post-Process Completed. - New X3F Files were Saved atDownloads');
  CheckRun({ texts: await status(), rows: await Rows(page) }, Expected(cli), summary);

  const saved = {};
  for (const download of downloads) {
    saved[download.suggestedFilename()] = Sha256(readFileSync(await download.path()));
  }
  const want = Object.fromEntries([...cli].filter(([, r]) => r.digest).map(([n, r]) => [n, r.digest]));
  assert.deepEqual(saved, want);
  for (const source of sources) assert.ok(statSync(source).isFile());
  assert.deepEqual(requests.filter((u) => u !== FileUrl(kPage) && !u.startsWith('blob:')), []);
  assert.deepEqual(problems, []);

  // The page's policy forbids any connection, to this computer's too.
  const refused = await page.evaluate(() => new Promise((done) => {
    document.addEventListener('securitypolicyviolation', (e) => done(e.effectiveDirective));
    fetch('http://127.0.0.1:9/probe').catch(() => {});
  }));
  assert.equal(refused, 'connect-src');
});

test('A copy never replaces another copy of its run, nor a folder in its place', async (t) => {
  const folder = TempFolder(t);
  mkdirSync(join(folder, 'a'));
  mkdirSync(join(folder, 'b'));
  const sources = ['a/SAME.X3F', 'b/SAME.X3F', 'a/BLOCKED.X3F'].map((p) => join(folder, p));
  WriteFile(sources[0], 4096, [{ at: 0, x3f: X3f(['PROP'], 4096) }]);
  WriteFile(sources[1], 4200, [{ at: 0, x3f: X3f(['PROP'], 4200) }]);
  WriteFile(sources[2], 4096, [{ at: 0, x3f: X3f(['PROP'], 4096) }]);
  const server = await Serve(t);
  const { context } = await OpenBrowser(t);
  await context.addInitScript(kPickPrivateFolder);
  const { page } = await OpenPage(context, server.url);
  await page.evaluate(async () => {
    const output = await (await navigator.storage.getDirectory())
      .getDirectoryHandle('PostProcessed', { create: true });
    await output.getDirectoryHandle('BLOCKED.X3F', { create: true });
  });
  await page.setInputFiles('#DOpen', sources);
  await Decode(page);
  const rows = await Rows(page);
  assert.deepEqual(rows.map((r) => r.mark), ['written', 'failed', 'failed']);
  assert.equal(rows[1].tip, 'SAME.X3F:Failed to post-process - Cannot write '
    + 'PostProcessed/SAME.X3F: another file of this run was saved there');
  assert.match(rows[2].tip, /^BLOCKED\.X3F:Failed to post-process - ./);
  const kept = await page.evaluate(async () => {
    const output = await (await navigator.storage.getDirectory()).getDirectoryHandle('PostProcessed');
    const out = {};
    for await (const [name, handle] of output.entries()) {
      out[name] = handle.kind === 'file' ? (await handle.getFile()).size : handle.kind;
    }
    return out;
  });
  assert.deepEqual(kept, { 'SAME.X3F': 4096, 'BLOCKED.X3F': 'directory' });
});

test('A drop replaces the list; a dropped folder lists its .x3f files as the desktop walk does', async (t) => {
  const folder = TempFolder(t);
  const sources = WriteCases(folder);
  for (const sub of ['card/DCIM/100SIGMA', 'card/PostProcessed']) mkdirSync(join(folder, sub), { recursive: true });
  for (const name of ['DCIM/100SIGMA/b.x3f', 'DCIM/100SIGMA/B.X3F', 'PostProcessed/C.X3F', 'notes.txt', 'Z.X3F']) {
    WriteFile(join(folder, 'card', name), 1, []);
  }
  const server = await Serve(t);
  const { context } = await OpenBrowser(t);
  const { page } = await OpenPage(context, server.url);
  await page.setInputFiles('#DOpen', sources.slice(0, 3));
  await DropPaths(context, page, [join(folder, 'card'), sources[5]]);
  await page.waitForFunction(() => document.querySelector('#LBMain li')?.textContent.startsWith('card'));
  assert.deepEqual((await Rows(page)).map((r) => r.name),
    ['card/DCIM/100SIGMA/B.X3F', 'card/DCIM/100SIGMA/b.x3f', 'card/Z.X3F', 'SDIM0006.X3F']);

  // The names below a dropped folder, as the page's walk finds them.
  const order = await page.evaluate((paths) => window.velkrane.core.call('walkOrder', { paths }), [
    'b/SDIM0002.x3f', 'A.X3F', 'PostProcessed/A.X3F', 'b/PostProcessed/SDIM0002.x3f',
    'a/c.X3f', 'notes.txt', 'b/SDIM0001.X3F', 'B.X3F', 'x3f', 'PostProcessedNot/C.X3F',
  ]);
  assert.deepEqual(order, [1, 7, 9, 4, 6, 0]);
});

test('Memory stays flat over many camera-sized files', async (t) => {
  const folder = TempFolder(t);
  // 40 keep make test short; VELKRANE_WEB_FILES=200 runs the full batch.
  const count = Number(process.env.VELKRANE_WEB_FILES ?? 40);
  const sources = [];
  for (let k = 0; k < count; ++k) {
    const path = join(folder, `SDIM${String(k).padStart(4, '0')}.X3F`);
    WriteFile(path, 45_300_000, [{ at: 0, x3f: X3f(['IMA2', 'CAMF', 'PROP', 'IMA2', 'IMA2'], 45_000_000) }]);
    sources.push(path);
  }
  const server = await Serve(t);
  const { context } = await OpenBrowser(t);
  await context.addInitScript(kPickPrivateFolder);
  const { page } = await OpenPage(context, server.url);
  const cdp = await context.newCDPSession(page);
  await page.setInputFiles('#DOpen', sources);
  await Decode(page);
  const rows = await Rows(page);
  assert.deepEqual(new Set(rows.map((r) => r.mark)), new Set(['written']));
  // The core's memory after the first file is all it ever takes.
  assert.deepEqual(new Set(rows.map((r) => r.memory)), new Set([rows[0].memory]));
  assert.ok(rows[0].memory <= 32 * 1024 * 1024, `core memory ${rows[0].memory}`);
  // The page's heap holds no file: far below one file's size after 40.
  await cdp.send('HeapProfiler.collectGarbage');
  const { usedSize } = await cdp.send('Runtime.getHeapUsage');
  t.diagnostic(`core memory ${rows[0].memory} bytes, page heap ${usedSize} bytes after ${count} files`);
  assert.ok(usedSize < 20 * 1024 * 1024, `page heap ${usedSize}`);
});
