// The page's Worker: loads the core (the desktop's C++, compiled to
// WebAssembly) and runs each file's cut decision over slices of the picked
// File, read synchronously, a block at a time: the file is never read whole,
// and the page never waits on it. The assembled page puts the core's
// JavaScript (VelkraneCore) and its WebAssembly (kCoreWasmBase64) before this.
'use strict';

const reader = new FileReaderSync();

function DecodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// Every read of a File goes through the browser's own process and costs
// about a millisecond, whatever its size; the core's many small reads (the
// structure check's header, directory, entries, and a signature per section)
// mostly fall inside a block read just before, or near each other. So the
// pieces read are kept, each no larger than a search block, for this one
// file's decision, and small reads take a whole kChunk around them.
const kChunk = 64 * 1024;
const kKept = 16;

// The core's read: exactly view.length bytes at offset, or false.
function SliceReader(file) {
  const kept = [];  // { offset, bytes: Uint8Array }, the newest last
  const Read = (offset, end) => {
    const started = performance.now();
    const bytes = new Uint8Array(
      reader.readAsArrayBuffer(file.slice(offset, end)));
    read.ms += performance.now() - started;
    ++read.count;
    if (bytes.length !== end - offset) throw new Error('short read');
    kept.push({ offset, bytes });
    if (kept.length > kKept) kept.shift();
    return bytes;
  };
  const read = (offset, view) => {
    try {
      const end = offset + view.length;
      if (end > file.size) return false;
      for (let k = kept.length - 1; k >= 0; --k) {
        const piece = kept[k];
        if (offset >= piece.offset && end <= piece.offset + piece.bytes.length) {
          view.set(piece.bytes.subarray(offset - piece.offset,
                                        end - piece.offset));
          return true;
        }
      }
      if (view.length >= kChunk) {
        view.set(Read(offset, end));
        return true;
      }
      const from = Math.max(0, Math.min(offset - (offset % kChunk),
                                        file.size - kChunk));
      const bytes = Read(from, Math.min(file.size, from + kChunk));
      view.set(bytes.subarray(offset - from, end - from));
      return true;
    } catch (e) {
      return false;
    }
  };
  // What the bench reports: the time spent in the browser's reads, and how
  // many there were.
  read.ms = 0;
  read.count = 0;
  return read;
}

const core = VelkraneCore({ wasmBinary: DecodeBase64(kCoreWasmBase64) });

function ToArray(list) {
  const out = [];
  for (let i = 0; i < list.size(); ++i) out.push(list.get(i));
  list.delete();
  return out;
}

const handlers = {
  decide(core, { file }) {
    const started = performance.now();
    const read = SliceReader(file);
    const outcome = core.decide(file.name, file.size, read);
    outcome.ms = performance.now() - started;
    outcome.readMs = read.ms;
    outcome.reads = read.count;
    // The core's memory, which must not grow with the files.
    outcome.memory = core.HEAPU8.byteLength;
    return outcome;
  },
  failed(core, { name, error }) {
    return core.failed(name, error);
  },
  targetTaken(core, { target }) {
    return core.targetTaken(target);
  },
  processing(core, { name }) {
    return core.processingText(name);
  },
  summary(core, { folder }) {
    return core.summaryText(folder);
  },
  walkOrder(core, { paths }) {
    const list = new core.StringList();
    for (const path of paths) list.push_back(path);
    const order = ToArray(core.walkOrder(list));
    list.delete();
    return order;
  },
};

core.then((ready) => {
  self.onmessage = ({ data }) => {
    let reply;
    try {
      reply = { id: data.id, value: handlers[data.op](ready, data) };
    } catch (e) {
      reply = { id: data.id, error: String(e && e.message ? e.message : e) };
    }
    self.postMessage(reply);
  };
  const layout = ready.layout();
  const marks = [0, 1, 2].map((m) => ready.markDrawing(m, layout.markWidth));
  self.postMessage({ ready: true, texts: ready.texts(), layout, marks });
});
