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

// The core's read: exactly view.length bytes at offset, or false.
function SliceReader(file) {
  return (offset, view) => {
    try {
      const end = offset + view.length;
      if (end > file.size) return false;
      const bytes = reader.readAsArrayBuffer(file.slice(offset, end));
      if (bytes.byteLength !== view.length) return false;
      view.set(new Uint8Array(bytes));
      return true;
    } catch (e) {
      return false;
    }
  };
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
    const outcome = core.decide(file.name, file.size, SliceReader(file));
    outcome.ms = performance.now() - started;
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
