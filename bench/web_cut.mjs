// The cut decision in the page against the native one, on the same files: a
// 45 MB file of a later camera (its directory past the first 30,000,000
// bytes, 300,000 bytes of junk behind it) and a 12 MB file with 300 bytes of
// junk. The page's figure is the Worker's own time for one decision over
// the picked File's slices; the native one is velkrane_cut_time's (the
// source opened, the same FindRepair velkrane-cli runs). Medians of 15 and
// 201 calls; three runs, alternating. For scale, `velkrane-cli -n FILE` as a
// whole process too (median of 21, spawned from node).
// Usage: node bench/web_cut.mjs CUT_TIME_PROGRAM VELKRANE_CLI
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import {
  FileUrl, kPage, OpenBrowser, OpenPage, TempFolder, WriteFile, X3f,
} from '../tests/web/browser.mjs';

const [cutTime, cli] = process.argv.slice(2);
const cleanups = [];
const t = { after: (f) => cleanups.push(f) };
const folder = TempFolder(t);
const files = [
  ['45 MB later camera, 300,000 bytes of junk', 'LATER.X3F', 45_300_000,
    X3f(['IMA2', 'CAMF', 'PROP', 'IMA2', 'IMA2'], 45_000_000)],
  ['12 MB, 300 bytes of junk', 'TYPICAL.X3F', 12_000_300,
    X3f(['CAMF', 'IMAG', 'IMA2', 'PROP'], 12_000_000)],
].map(([label, name, size, x3f]) => {
  const path = join(folder, name);
  WriteFile(path, size, [{ at: 0, x3f }]);
  return { label, path };
});

const median = (values) => values.sort((a, b) => a - b)[values.length >> 1];
const { context } = await OpenBrowser(t);
const { page } = await OpenPage(context, FileUrl(kPage));
await page.setInputFiles('#DOpen', files.map((f) => f.path));

// The Worker's code is compiled and the files are in the page cache first.
await page.evaluate(async () => {
  for (const { file } of window.velkrane.entries) {
    for (let k = 0; k < 5; ++k) await window.velkrane.core.call('decide', { file });
  }
});
const rows = [];
for (let run = 1; run <= 3; ++run) {
  const native = execFileSync(cutTime, files.map((f) => f.path), { encoding: 'utf8' })
    .trim().split('\n').map((line) => Number(line.split('\t')[2]) / 1000);
  const web = await page.evaluate(async () => {
    const out = [];
    for (const { file } of window.velkrane.entries) {
      const times = [];
      for (let k = 0; k < 15; ++k) {
        times.push(await window.velkrane.core.call('decide', { file }));
      }
      out.push(times);
    }
    return out;
  });
  const process = files.map((f) => median(Array.from({ length: 21 }, () => {
    const start = performance.now();
    try {
      execFileSync(cli, ['-n', '-q', f.path]);
    } catch (e) {
      if (e.status !== 0) throw e;
    }
    return performance.now() - start;
  })));
  files.forEach((f, k) => rows.push([run, f.label, median(web[k].map((o) => o.ms)),
    median(web[k].map((o) => o.ms - o.readMs)), web[k][0].reads, native[k], process[k]]));
}
console.log('| run | file | page ms | of it outside reads | reads | native ms | page/native | velkrane-cli -n ms |');
console.log('|---:|---|---:|---:|---:|---:|---:|---:|');
for (const [run, label, web, core, reads, native, whole] of rows) {
  console.log(`| ${run} | ${label} | ${web.toFixed(1)} | ${core.toFixed(1)} | ${reads} | `
    + `${native.toFixed(3)} | ${(web / native).toFixed(0)} | ${whole.toFixed(1)} |`);
}
for (const f of cleanups.reverse()) await f();
