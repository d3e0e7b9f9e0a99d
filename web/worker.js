// crdview's worker: holds the WebAssembly module and the chosen card files
// (in its own memory file system, by their bare names), and runs crdview on
// them when the page asks. Every message names its request; every answer
// names it again.
'use strict';

let crdview = null;
let names = [];  // the files of the working directory, in the order chosen

const CARD_DIR = '/cards';

// A bare name that no file of `used` has yet: "contacts.crd", then
// "contacts (2).crd", ...
function freeName(name, used) {
  name = name || 'card file';
  if (!used.has(name)) {
    return name;
  }
  const dot = name.lastIndexOf('.');
  const stem = dot > 0 ? name.slice(0, dot) : name;
  const extension = dot > 0 ? name.slice(dot) : '';
  for (let k = 2; ; ++k) {
    const candidate = `${stem} (${k})${extension}`;
    if (!used.has(candidate)) {
      return candidate;
    }
  }
}

async function start(message) {
  crdview = await createCrdview({
    wasmBinary: message.wasm,
    print: () => {},
    printErr: () => {},
  });
  crdview.FS.mkdir(CARD_DIR);
  crdview.FS.chdir(CARD_DIR);
  const list = crdview.UTF8ToString(crdview._crdview_web_encodings());
  return {encodings: list.split('\n').filter(name => name)};
}

function setFiles(message) {
  for (const name of names) {
    crdview.FS.unlink(`${CARD_DIR}/${name}`);
  }
  names = [];
  const used = new Set();
  for (const file of message.files) {
    const name = freeName(file.name, used);
    used.add(name);
    crdview.FS.writeFile(`${CARD_DIR}/${name}`, new Uint8Array(file.bytes));
    names.push(name);
  }
  return {names};
}

function run(message) {
  const status = crdview.ccall('crdview_web_run', 'number',
      ['string', 'string', 'string', 'string', 'string'],
      [names.join('/'), message.format, message.encoding || '', message.find || '',
       message.cards || '']);
  const at = crdview._crdview_web_output();
  const size = crdview._crdview_web_output_size();
  const output = crdview.HEAPU8.slice(at, at + size);
  const messages = crdview.UTF8ToString(crdview._crdview_web_messages());
  const files = crdview._crdview_web_files();
  crdview._crdview_web_release();
  return {status, output, messages, files};
}

const handlers = {start, files: setFiles, run};

onmessage = async event => {
  const message = event.data;
  try {
    const answer = await handlers[message.type](message);
    answer.id = message.id;
    postMessage(answer, answer.output ? [answer.output.buffer] : []);
  } catch (error) {
    postMessage({id: message.id, failed: String(error && error.message || error)});
  }
};
