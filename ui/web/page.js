// The browser front end: the window's twin, laid out from the same geometry
// and worded with the same texts, which the Worker hands over from the core.
// It lists files, runs Decode a file at a time through the Worker, and saves
// each copy, the source's first N bytes as a slice, into a picked folder's
// "PostProcessed" (File System Access API) or as a download elsewhere.
'use strict';

// The page's own texts; everything a run says comes from the core.
const kNoNetworkText =
  'Velkrane works on this computer only: this page sends nothing anywhere ' +
  'and loads nothing beyond itself. Your files are only read; the copies ' +
  'are saved where you say.';
const kDownloadsPlace = 'Downloads';
const kOkText = 'OK';
const kStartingText = 'Starting...';
const kCannotStartText = 'Velkrane cannot run in this browser:';
const kCannotOpenFolderText = 'Cannot open folder';

// The marks by the core's OutcomeMark, as the rows' data-mark names them.
const kMarkNames = ['written', 'no-tail', 'failed'];
const kWritten = 0;

const $ = (id) => document.getElementById(id);

// Requests to the Worker, each answered under its id.
class Core {
  constructor(worker) {
    this.worker = worker;
    this.next = 1;
    this.waiting = new Map();
    worker.onmessage = ({ data }) => {
      if (data.ready) {
        this.onready(data);
        return;
      }
      const { resolve, reject } = this.waiting.get(data.id);
      this.waiting.delete(data.id);
      if ('error' in data) reject(new Error(data.error));
      else resolve(data.value);
    };
  }
  call(op, args) {
    const id = this.next++;
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject });
      this.worker.postMessage({ id, op, ...args });
    });
  }
}

function StartWorker() {
  const source = $('worker-source').textContent;
  const url = URL.createObjectURL(
    new Blob([source], { type: 'text/javascript' }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  // A Worker that cannot start (a browser without WebAssembly) says why.
  worker.onerror = (e) => {
    $('starting').textContent = `${kCannotStartText} ${e.message ?? ''}`;
  };
  return new Core(worker);
}

// Where a run's copies go. A picked folder: each copy is written whole into
// its "PostProcessed" before the file's success text. Without that API, each
// copy is offered as a download under its own name.
class FolderSaver {
  constructor(folder, outputName) {
    this.folder = folder;
    this.outputName = outputName;
    this.output = null;
    this.written = [];
  }
  where() {
    // The origin-private folder has no name of its own.
    const parent = this.folder.name ? `${this.folder.name}/` : '';
    return `${parent}${this.outputName}/`;
  }
  // Where `name` goes, or null when another copy of this run is there
  // already (a name that the folder's file system does not tell apart).
  async target(name) {
    if (!this.output) {
      this.output = await this.folder.getDirectoryHandle(this.outputName,
                                                         { create: true });
    }
    const existed = await this.output.getFileHandle(name).then(() => true,
                                                            () => false);
    const handle = await this.output.getFileHandle(name, { create: true });
    for (const earlier of this.written) {
      if (await earlier.isSameEntry(handle)) return null;
    }
    return { name, handle, existed };
  }
  async save({ name, handle, existed }, slice) {
    // The browser writes beside the target and moves it over at close(), so
    // an earlier copy stays whole until then.
    try {
      const writable = await handle.createWritable();
      try {
        await writable.write(slice);
        await writable.close();
      } catch (e) {
        await writable.abort().catch(() => {});
        throw e;
      }
    } catch (e) {
      // Taking the name made an empty file; no failed copy keeps it.
      if (!existed) await this.output.removeEntry(name).catch(() => {});
      throw e;
    }
    this.written.push(handle);
  }
}

class DownloadSaver {
  where() {
    return kDownloadsPlace;
  }
  async target(name) {
    return name;
  }
  async save(name, slice) {
    const url = URL.createObjectURL(slice);
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    // The browser has taken the download over once the click returns; give
    // it a moment before the slice's URL goes.
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }
}

class MainForm {
  constructor(core, { texts, layout, marks }) {
    this.core = core;
    this.texts = texts;
    this.layout = layout;
    this.marks = marks;
    this.entries = [];  // { file, label }
    this.running = false;
    this.Build();
  }

  Place(element, rect) {
    element.style.left = `${rect.left}px`;
    element.style.top = `${rect.top}px`;
    if (rect.width) element.style.width = `${rect.width}px`;
    if (rect.height) element.style.height = `${rect.height}px`;
  }

  Build() {
    const { layout, texts } = this;
    const form = $('TMainForm');
    this.Place(form, layout.client);
    this.Place($('Panel1'), layout.Panel1);
    this.Place($('Image1'), layout.Image1);
    this.Place($('L1'), layout.L1);
    this.Place($('Label2'), layout.Label2);
    this.Place($('LBMain'), layout.LBMain);
    this.Place($('SBar'), layout.SBar);
    $('L1').textContent = texts.header;
    $('Label2').textContent = texts.notice;
    for (const [id, text] of [['Button1', texts.decode],
                              ['Button2', texts.select],
                              ['Button3', texts.clear]]) {
      this.Place($(id), layout[id]);
      $(id).textContent = text;
    }
    // Status panels by their right edges, the last to the bar's end.
    let left = 0;
    layout.statusEdges.forEach((edge, k) => {
      const panel = $(`SBarPanel${k}`);
      const right = edge < 0 ? layout.SBar.width : edge;
      this.Place(panel, { left, top: 0, width: right - left,
                          height: layout.SBar.height });
      left = right;
    });
    this.Status(texts.contact);
    $(`SBarPanel${layout.webPanel}`).textContent = texts.web;
    $('network').textContent = kNoNetworkText;
    $('box-ok').textContent = kOkText;
    $('DOpen').accept = texts.filter.replace('*', '');  // "*.X3F" -> ".X3F"

    $('Button2').onclick = () => this.Button2Click();
    $('Button3').onclick = () => this.Button3Click();
    $('Button1').onclick = () => this.Button1Click();
    $('DOpen').onchange = () => {
      this.SetList([...$('DOpen').files].map((file) => ({ file,
                                                          label: file.name })));
      $('DOpen').value = '';
    };
    $('box-ok').onclick = () => $('box').close();
    // A marked row's text shows under the pointer, as the window's tooltip.
    const list = $('LBMain');
    list.addEventListener('mousemove', (e) => {
      const row = e.target.closest('li');
      const tip = $('tip');
      if (!row || !row.dataset.tip) {
        tip.hidden = true;
        return;
      }
      tip.textContent = row.dataset.tip;
      const edge = form.getBoundingClientRect();
      tip.style.left = `${e.clientX - edge.left}px`;
      tip.style.top = `${e.clientY - edge.top + 18}px`;
      tip.hidden = false;
    });
    list.addEventListener('mouseleave', () => { $('tip').hidden = true; });
    document.addEventListener('dragover', (e) => e.preventDefault());
    document.addEventListener('drop', (e) => this.Drop(e));
    form.hidden = false;
  }

  Status(text) {
    $(`SBarPanel${this.layout.statusPanel}`).textContent = text;
  }

  ShowMessage(text) {
    $('box-text').textContent = text;
    if (!$('box').open) $('box').showModal();
  }

  SetList(entries) {
    if (this.running) return;
    this.entries = entries;
    const list = $('LBMain');
    list.replaceChildren();
    for (const entry of entries) {
      const row = document.createElement('li');
      const mark = document.createElement('canvas');
      mark.width = mark.height = this.layout.markWidth;
      const name = document.createElement('span');
      name.textContent = entry.label;
      row.append(mark, name);
      list.append(row);
    }
  }

  ClearMarks() {
    for (const row of $('LBMain').children) {
      delete row.dataset.tip;
      delete row.dataset.mark;
      row.firstChild.getContext('2d').clearRect(0, 0, 99, 99);
    }
  }

  Mark(index, outcome) {
    const row = $('LBMain').children[index];
    if (!row || outcome.mark < 0) return;
    row.dataset.tip = outcome.tip;
    row.dataset.mark = kMarkNames[outcome.mark];
    const drawing = this.marks[outcome.mark];
    const context = row.firstChild.getContext('2d');
    const [r, g, b] = drawing.colour;
    context.strokeStyle = `rgb(${r},${g},${b})`;
    context.lineWidth = drawing.width;
    context.lineCap = 'round';
    context.beginPath();
    for (const [x0, y0, x1, y1] of drawing.strokes) {
      context.moveTo(x0 + 0.5, y0 + 0.5);
      context.lineTo(x1 + 0.5, y1 + 0.5);
    }
    context.stroke();
  }

  Button2Click() {
    $('DOpen').click();
  }

  Button3Click() {
    this.SetList([]);
  }

  async Button1Click() {
    if (this.running) return;
    if (this.entries.length === 0) {
      this.Status(this.texts.noFiles);
      this.ShowMessage(this.texts.noFiles);
      return;
    }
    // Held from the picker on, so that a second press opens no second one.
    this.running = true;
    try {
      const saver = await this.PickSaver();
      if (saver) await this.Run(saver);
    } catch (e) {
      // What ends a run early shows in a box, as in the windows.
      this.ShowMessage(String(e.message || e));
    } finally {
      this.running = false;
    }
  }

  // A folder where the browser lets the page write into one, else
  // downloads; null when the picker was cancelled (no run then).
  async PickSaver() {
    if (typeof window.showDirectoryPicker !== 'function') {
      return new DownloadSaver();
    }
    try {
      return new FolderSaver(
        await window.showDirectoryPicker({ id: 'velkrane', mode: 'readwrite' }),
        this.texts.outputFolder);
    } catch (e) {
      if (e.name === 'AbortError') return null;
      throw e;
    }
  }

  async Run(saver) {
    this.ClearMarks();
    const entries = this.entries;
    for (let index = 0; index < entries.length; ++index) {
      const { file } = entries[index];
      this.Status(await this.core.call('processing', { name: file.name }));
      let outcome = await this.core.call('decide', { file });
      const { ms, memory } = outcome;
      if (outcome.mark === kWritten) {
        try {
          const target = await saver.target(file.name);
          if (target === null) {
            outcome = await this.core.call('failed', {
              name: file.name,
              error: await this.core.call('targetTaken', {
                target: saver.where() + file.name }) });
          } else {
            await saver.save(target, file.slice(0, outcome.length));
          }
        } catch (e) {
          outcome = await this.core.call('failed',
                                         { name: file.name,
                                           error: String(e.message || e) });
        }
      }
      this.Status(outcome.status);
      this.Mark(index, outcome);
      const row = $('LBMain').children[index];
      if (row) {
        row.dataset.workerMs = ms;
        row.dataset.workerMemory = memory;
      }
    }
    this.Status(this.texts.ready);
    const summary = await this.core.call('summary', { folder: saver.where() });
    this.Status(summary);
    this.ShowMessage(summary);
  }

  // A drop fills the list as Select does: files as they are, folders as the
  // .x3f files below them in the desktop walk's order.
  async Drop(event) {
    event.preventDefault();
    if (this.running) return;
    // Taken now: the drop's items are gone once the handler waits. Only a
    // folder is read through its entry; a file is taken as it is.
    const items = [...event.dataTransfer.items]
      .filter((item) => item.kind === 'file')
      .map((item) => ({ entry: item.webkitGetAsEntry(), file: item.getAsFile() }));
    if (items.length === 0) return;
    const entries = [];
    for (const { entry, file } of items) {
      if (!entry || !entry.isDirectory) {
        if (file) entries.push({ file, label: file.name });
        continue;
      }
      const found = [];
      try {
        await Walk(entry, entry.name, found);
        const order = await this.core.call('walkOrder', {
          paths: found.map((f) => f.path.slice(entry.name.length + 1)) });
        for (const k of order) {
          entries.push({ file: await EntryFile(found[k].entry),
                         label: found[k].path });
        }
      } catch (e) {
        // Chromium reads no dropped folder in a page opened from the disk.
        this.ShowMessage(`${kCannotOpenFolderText} ${entry.name}: ${e.message}`);
        return;
      }
    }
    this.SetList(entries);
  }
}

function EntryFile(entry) {
  return new Promise((resolve, reject) => entry.file(resolve, reject));
}

async function Walk(folder, path, found) {
  const reader = folder.createReader();
  for (;;) {
    const batch = await new Promise((resolve, reject) =>
      reader.readEntries(resolve, reject));
    if (batch.length === 0) return;
    for (const entry of batch) {
      const below = `${path}/${entry.name}`;
      if (entry.isDirectory) await Walk(entry, below, found);
      else found.push({ path: below, entry });
    }
  }
}

const core = StartWorker();
core.onready = (ready) => {
  window.velkrane = new MainForm(core, ready);
  $('starting').hidden = true;
};
$('starting').textContent = kStartingText;
