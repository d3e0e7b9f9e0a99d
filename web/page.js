// crdview's page: chooses card files, has crdview (in a worker) write them
// as --format=html does and shows that page's cards in this document, and
// saves what crdview writes in the other formats. It knows nothing of card
// files itself.
'use strict';
(() => {
  // Shown at most of each file: the page stays quick with the largest
  // files. Without a card list, crdview is asked for one card more, to tell
  // whether there are more.
  const SHOWN_CARDS = 2000;
  // A worker that has not answered in this time is stopped.
  const WORKER_TIME_LIMIT_MS = 60000;

  const $ = id => document.getElementById(id);
  const fileInput = $('files');
  const encodingSelect = $('encoding');
  const findInput = $('find');
  const cardsInput = $('cards');
  const saveSet = $('save');
  const statusLine = $('status');
  const messagesBox = $('messages');
  const shown = $('cards-shown');
  const cardsStyle = $('cards-style');
  const dropCover = $('drop-cover');

  let worker = null;
  let workerReady = null;  // a promise of the worker's start
  let nextId = 1;
  const waiting = new Map();  // request id -> {resolve, reject, timer}
  let chosen = [];            // the File objects chosen
  let names = [];             // their bare names as crdview sees them
  let showing = 0;            // the latest display asked for

  function tell(text, failed) {
    statusLine.textContent = text;
    statusLine.classList.toggle('failed', Boolean(failed));
  }

  function showMessages(text) {
    messagesBox.textContent = text;
    messagesBox.hidden = !text;
  }

  function wasmBytes() {
    const text = $('wasm-source').textContent.trim();
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) {
      bytes[i] = binary.charCodeAt(i);
    }
    return bytes;
  }

  function ask(message, transfer) {
    const id = nextId++;
    message.id = id;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        waiting.delete(id);
        restartWorker();
        reject(new Error('crdview took too long on these files and was stopped'));
      }, WORKER_TIME_LIMIT_MS);
      waiting.set(id, {resolve, reject, timer});
      worker.postMessage(message, transfer || []);
    });
  }

  function answered(event) {
    const answer = event.data;
    const request = waiting.get(answer.id);
    if (!request) {
      return;
    }
    waiting.delete(answer.id);
    clearTimeout(request.timer);
    if (answer.failed) {
      restartWorker();
      request.reject(new Error('crdview stopped: ' + answer.failed));
    } else {
      request.resolve(answer);
    }
  }

  // A worker of its own for crdview, made from the script in this page.
  function startWorker() {
    const source = $('worker-source').textContent;
    const url = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = answered;
    worker.onerror = event => {
      event.preventDefault();
      restartWorker();
    };
    const wasm = wasmBytes();
    workerReady = ask({type: 'start', wasm}, [wasm.buffer]).then(async answer => {
      if (chosen.length) {
        await sendFiles();
      }
      return answer;
    });
    return workerReady;
  }

  function restartWorker() {
    if (worker) {
      worker.terminate();
    }
    for (const [, request] of waiting) {
      clearTimeout(request.timer);
      request.reject(new Error('crdview stopped'));
    }
    waiting.clear();
    startWorker().catch(() => {});
  }

  async function sendFiles() {
    const files = await Promise.all(chosen.map(async file => ({
      name: file.name, bytes: await file.arrayBuffer()})));
    const answer = await ask({type: 'files', files}, files.map(file => file.bytes));
    names = answer.names;
  }

  function request(format, capped) {
    const cards = cardsInput.value.trim();
    return {
      type: 'run',
      format,
      encoding: encodingSelect.value,
      find: findInput.value,
      cards: cards || (capped ? `1-${SHOWN_CARDS + 1}` : ''),
    };
  }

  function seconds(since) {
    return ((performance.now() - since) / 1000).toFixed(2) + ' s';
  }

  // Takes `node` out of crdview's page, and the line end after it.
  function takeOut(node) {
    const next = node.nextSibling;
    if (next && next.nodeType === Node.TEXT_NODE && !next.data.trim()) {
      next.remove();
    }
    node.remove();
  }

  // crdview's HTML page: its style for this document, its body's content
  // shown here; the cards beyond the first SHOWN_CARDS of a file taken out
  // before the document lays them out.
  function showPage(html) {
    const page = new DOMParser().parseFromString(html, 'text/html');
    const style = page.querySelector('style');
    if (style && cardsStyle.textContent !== style.textContent) {
      cardsStyle.textContent = style.textContent;
    }
    const notes = [];
    for (const section of page.querySelectorAll('section.file')) {
      const cards = section.querySelectorAll('article.card');
      if (cards.length <= SHOWN_CARDS) {
        continue;
      }
      const titles = section.querySelectorAll('nav.titles li');
      for (let i = SHOWN_CARDS; i < cards.length; ++i) {
        takeOut(cards[i]);
        if (titles[i]) {
          takeOut(titles[i]);
        }
      }
      const name = section.querySelector('h1').textContent;
      const note = page.createElement('p');
      note.className = 'note';
      note.textContent = `Only the first ${SHOWN_CARDS.toLocaleString('en')} cards of ${name} ` +
          `are shown here; a card list (such as ${SHOWN_CARDS + 1}-${2 * SHOWN_CARDS}) shows ` +
          'others, and the saved files hold them all.';
      section.querySelector('header').append(note);
      notes.push(name);
    }
    if (page.title) {
      document.title = 'crdview: ' + page.title;
    }
    shown.replaceChildren(...[...page.body.childNodes].map(node => document.adoptNode(node)));
    return {cards: shown.querySelectorAll('article.card').length, notes};
  }

  // Shows the chosen files; `started`: when they were chosen.
  async function show(started) {
    if (!chosen.length) {
      return;
    }
    const mine = ++showing;
    started = typeof started === 'number' ? started : performance.now();
    tell('Reading ' + (names.length === 1 ? names[0] : names.length + ' files') + '…');
    let answer;
    try {
      await workerReady;
      answer = await ask(request('html', true));
    } catch (error) {
      if (mine === showing) {
        tell(error.message, true);
      }
      return;
    }
    if (mine !== showing) {
      return;
    }
    const html = new TextDecoder().decode(answer.output);
    const result = html ? showPage(html) : {cards: 0, notes: []};
    if (!html) {
      shown.replaceChildren();
    }
    showMessages(answer.messages);
    saveSet.disabled = false;
    const what = names.length === 1 ? names[0] : names.length + ' files';
    if (answer.status !== 0 && result.cards === 0) {
      tell(`crdview could not show ${what}: see why below`, true);
    } else {
      tell(`${what}: ${result.cards} card${result.cards === 1 ? '' : 's'} shown, in ` +
           seconds(started) +
           (result.notes.length ? `; only the first ${SHOWN_CARDS.toLocaleString('en')} of ` +
            result.notes.join(', ') : '') +
           (answer.status !== 0 ? '; crdview found problems, told below' : ''));
    }
  }

  // The name a saved file gets: the card file's name with the format's
  // extension, or "cards" for several files.
  function savedName(format) {
    let stem = 'cards';
    if (names.length === 1) {
      const dot = names[0].lastIndexOf('.');
      stem = dot > 0 ? names[0].slice(0, dot) : names[0];
    }
    const ends = {vcard: '.vcf', vcard4: '.vcard4.vcf', csv: '.csv', json: '.json',
                  html: '.html', pictures: '-pictures.zip'};
    return stem + ends[format];
  }

  const TYPES = {vcard: 'text/vcard', vcard4: 'text/vcard', csv: 'text/csv',
                 json: 'application/json', html: 'text/html', pictures: 'application/zip'};

  async function save(format) {
    tell('Writing ' + savedName(format) + '…');
    let answer;
    try {
      await workerReady;
      answer = await ask(request(format, false));
    } catch (error) {
      tell(error.message, true);
      return;
    }
    if (format === 'pictures' && answer.files === 0) {
      tell(answer.status === 0 ? 'The cards shown have no pictures or objects to save' :
           'crdview could not extract the pictures and objects: see why below', answer.status);
      if (answer.status !== 0) {
        showMessages(answer.messages);
      }
      return;
    }
    if (!answer.output.length && answer.status !== 0) {
      tell('crdview could not write ' + savedName(format) + ': see why below', true);
      showMessages(answer.messages);
      return;
    }
    const url = URL.createObjectURL(new Blob([answer.output], {type: TYPES[format]}));
    const link = document.createElement('a');
    link.href = url;
    link.download = savedName(format);
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
    tell('Saved ' + savedName(format) + (format === 'pictures' ?
        ` (${answer.files} file${answer.files === 1 ? '' : 's'})` : ''));
  }

  async function choose(files) {
    const started = performance.now();
    chosen = [...files];
    if (!chosen.length) {
      return;
    }
    tell('Reading ' + chosen.length + ' file' + (chosen.length === 1 ? '' : 's') + '…');
    try {
      await workerReady;
      await sendFiles();
    } catch (error) {
      tell(error.message, true);
      return;
    }
    await show(started);
  }

  fileInput.addEventListener('change', () => choose(fileInput.files));
  $('controls').addEventListener('submit', event => {
    event.preventDefault();
    show();
  });
  encodingSelect.addEventListener('change', () => show());
  saveSet.addEventListener('click', event => {
    const button = event.target.closest('button[data-format]');
    if (button) {
      save(button.dataset.format);
    }
  });

  // Files dropped anywhere on the page.
  let dragDepth = 0;
  const carriesFiles = event => event.dataTransfer &&
      [...event.dataTransfer.types].includes('Files');
  document.addEventListener('dragenter', event => {
    if (carriesFiles(event)) {
      ++dragDepth;
      dropCover.hidden = false;
    }
  });
  document.addEventListener('dragleave', () => {
    dragDepth = Math.max(0, dragDepth - 1);
    dropCover.hidden = dragDepth === 0;
  });
  document.addEventListener('dragover', event => {
    if (carriesFiles(event)) {
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
    }
  });
  document.addEventListener('drop', event => {
    event.preventDefault();
    dragDepth = 0;
    dropCover.hidden = true;
    if (event.dataTransfer && event.dataTransfer.files.length) {
      choose(event.dataTransfer.files);
    }
  });

  startWorker().then(answer => {
    for (const name of answer.encodings) {
      encodingSelect.append(new Option(name, name));
    }
    if (!chosen.length) {
      tell('Choose card files, or drop them on the page.');
    }
  }, error => tell('crdview could not start: ' + error.message, true));
})();
