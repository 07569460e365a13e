// The simulated unit in a browser: its screen as the server streams it, its
// six front-panel keys, its readouts and the simulated world around it.
'use strict';

const STATE_PERIOD_MS = 250;
const RETRY_MS = 1000;
const FPS_WINDOW_MS = 2000;

// What the page knows; the browser test reads it too.
const page = {
  name: Array.from(crypto.getRandomValues(new Uint8Array(12)), (b) => (b % 36).toString(36)).join(''),
  frames: 0,
  frameNumber: 0,
  fps: 0,
  connected: false,
  state: null,
};
window.kestraPage = page;

const $ = (selector, root = document) => root.querySelector(selector);
const $$ = (selector, root = document) => Array.from(root.querySelectorAll(selector));
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function request(method, path, body) {
  return fetch(path, {
    method,
    body,
    cache: 'no-store',
    headers: { 'X-Kestra-Page': page.name, 'Content-Type': 'text/plain' },
  });
}

function showMessage(text, refused) {
  const message = $('#message');
  message.textContent = text;
  message.classList.toggle('refused', Boolean(refused));
}

// ---- the screen

const frameTimes = [];

function countFrame() {
  const now = performance.now();
  frameTimes.push(now);
  while (frameTimes.length && now - frameTimes[0] > FPS_WINDOW_MS) frameTimes.shift();
  page.frames++;
  page.fps = frameTimes.length > 1 ? (1000 * (frameTimes.length - 1)) / (now - frameTimes[0]) : 0;
}

async function drawFrame(response, context) {
  const bitmap = await createImageBitmap(await response.blob());
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  page.frameNumber = Number(response.headers.get('X-Frame'));
  countFrame();
}

// One request at a time: the server answers as soon as the screen changed
// from the frame named, or after a second with nothing.
async function streamScreen() {
  const context = $('#screen').getContext('2d');
  for (;;) {
    try {
      const response = await request('GET', '/frame?after=' + page.frameNumber);
      page.connected = true;
      if (response.status === 200) await drawFrame(response, context);
      else if (response.status !== 204) await pause(RETRY_MS);
    } catch (error) {
      page.connected = false;
      await pause(RETRY_MS);
    }
  }
}

function showStatus() {
  const s = page.state;
  let text = page.connected ? '' : 'No connection to kestra-sim. ';
  if (s && !s.running) text += 'The unit is not running. ';
  text += `${page.fps.toFixed(1)} frames/s, frame ${page.frameNumber}`;
  if (s && s.stream.encoded) text += ` (${(s.stream.bytes / 1024).toFixed(0)} kB, encoded in ${s.stream.encodeMs.toFixed(1)} ms)`;
  $('#status').textContent = text;
}

// ---- the keys: pointer and keyboard go through the simulated panel keys

// A press is held, and a key let go, at least this long at the panel: a
// quick tap, a quick second press, or a message delayed on its way must not
// fall under the keys' debounce (a second press 3 ms after the release would
// only continue the first).
const MIN_LEVEL_MS = 100;
const held = new Set();
const changedAt = new Map();
let keyMessages = Promise.resolve();

// In order: an "up" never overtakes its "down".
function sendKey(key, down) {
  keyMessages = keyMessages
    .then(async () => {
      await pause(MIN_LEVEL_MS - (performance.now() - (changedAt.get(key) || -Infinity)));
      await request('POST', '/key', `${key} ${down ? 'down' : 'up'}`);
      changedAt.set(key, performance.now());
    })
    .catch(() => {});
}

function keyButton(key) {
  return $(`.key[data-key="${key}"]`);
}

function press(key) {
  if (held.has(key)) return;
  held.add(key);
  keyButton(key).classList.add('down');
  sendKey(key, true);
}

function release(key) {
  if (!held.has(key)) return;
  held.delete(key);
  keyButton(key).classList.remove('down');
  sendKey(key, false);
}

function releaseAll() {
  for (const key of Array.from(held)) release(key);
}

function typing(target) {
  return target instanceof HTMLInputElement || target instanceof HTMLSelectElement;
}

function wireKeys() {
  for (const button of $$('.key')) {
    const key = Number(button.dataset.key);
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      button.setPointerCapture(e.pointerId);
      press(key);
    });
    for (const type of ['pointerup', 'pointercancel', 'lostpointercapture'])
      button.addEventListener(type, () => release(key));
  }
  document.addEventListener('keydown', (e) => {
    if (e.repeat || typing(e.target) || !/^[1-6]$/.test(e.key)) return;
    e.preventDefault();
    press(Number(e.key));
  });
  document.addEventListener('keyup', (e) => {
    if (/^[1-6]$/.test(e.key)) release(Number(e.key));
  });
  window.addEventListener('blur', releaseAll);
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) releaseAll();
  });
}

// The captions are those the screen shows on its button bar.
function showKeys(s) {
  s.keys.forEach((lines, i) => {
    const spans = $$('span', keyButton(i + 1));
    spans[0].textContent = lines[0] || '';
    spans[1].textContent = lines.slice(1).join(' ');
    keyButton(i + 1).classList.toggle('line-low', s.levels !== undefined && s.levels[i] === '0');
  });
}

// ---- readouts

const fixed = (value, digits, unit) => `${Number(value).toFixed(digits)} ${unit}`;

function setText(id, text) {
  const cell = document.getElementById(id);
  if (cell.textContent !== text) cell.textContent = text;
}

function fillList(id, items, empty) {
  const list = document.getElementById(id);
  const texts = items.length ? items : [empty];
  if (list.dataset.shown === JSON.stringify(texts)) return;
  list.dataset.shown = JSON.stringify(texts);
  list.replaceChildren(...texts.map((t) => Object.assign(document.createElement('li'), { textContent: t })));
}

function showReadouts(r) {
  setText('r-freq', fixed(r.freq / 1e6, 5, 'MHz'));
  setText('r-antenna', String(r.antenna));
  setText('r-forward', fixed(r.forward, 1, 'W'));
  setText('r-reflected', fixed(r.reflected, 1, 'W'));
  setText('r-input', fixed(r.input, 2, 'W'));
  setText('r-swr', r.swr > 0 ? Number(r.swr).toFixed(2) : '–');
  setText('r-temps', `${r.temperatures[0].toFixed(1)} / ${r.temperatures[1].toFixed(1)} °C`);
  setText('r-cpu', fixed(r.cpuTemp, 1, '°C'));
  setText('r-fan', String(r.fan));
  setText('r-window', `${r.mainWindow} (state ${r.uiState})`);
  setText('r-tuner', `L ${r.tuner.L}, C ${r.tuner.C}, network ${r.tuner.network}`);
  const last = r.tuner.lastSwr > 0 ? `, last tune SWR ${r.tuner.lastSwr.toFixed(2)}` : '';
  setText('r-tune', r.tuner.state + last);
  fillList('r-errors', r.errors.map((e) => `${e.code}: ${e.text || ''}`), 'none');
  setText('r-polls', `(${r.polls} status polls)`);
}

function showCommands(commands) {
  fillList('r-commands', commands.map((c) => `${c.t.toFixed(1).padStart(7)} s  ${c.text}`), '–');
}

// ---- the world: every change is a scenario event, applied by kestra-sim
// as the scenario files' are

async function applyEvent(line) {
  try {
    const response = await request('POST', '/event', line);
    const text = await response.text();
    showMessage(response.ok ? line : `${line}: ${text}`, !response.ok);
  } catch (error) {
    showMessage(`${line}: no connection`, true);
  }
}

// A control shows the world's value unless the user is at it.
function showValue(control, value) {
  if (document.activeElement === control) return;
  if (control.type === 'checkbox') control.checked = Boolean(value);
  else if (control.value !== String(value)) control.value = String(value);
}

const mhz = (hz) => Number((hz / 1e6).toFixed(6));
const hz = (input) => Math.round(Number(input.value) * 1e6);

// The companion transceiver when it is wired, else the plain exciter.
function exciterSubject() {
  const w = page.state && page.state.world;
  return w && w.trx && w.trx.wired ? 'trx' : 'radio';
}

function wireExciter() {
  const form = $('#exciter');
  const mode = form.elements.mode;
  for (let m = 0; m <= 15; m++) mode.add(new Option(String(m), String(m)));
  form.elements.freq.addEventListener('change', (e) => applyEvent(`${exciterSubject()} freq ${hz(e.target)}`));
  mode.addEventListener('change', () => applyEvent(`trx mode ${mode.value}`));
  form.elements.drive.addEventListener('change', (e) => applyEvent(`${exciterSubject()} drive ${Number(e.target.value)}`));
  form.elements.carrier.addEventListener('change', (e) => {
    const on = e.target.checked ? 'on' : 'off';
    applyEvent(exciterSubject() === 'trx' ? `trx tx ${on}` : `radio ${on}`);
  });
}

function showExciter(w) {
  const form = $('#exciter');
  const trx = w.trx && w.trx.wired;
  const source = trx ? w.trx : w.radio;
  $('#exciter-title').textContent = trx ? 'Transceiver' : 'Exciter';
  $('#exciter-mode').hidden = !trx;
  showValue(form.elements.freq, mhz(source.freq));
  showValue(form.elements.drive, source.drive);
  showValue(form.elements.carrier, trx ? w.trx.tx : w.radio.on);
  if (trx) showValue(form.elements.mode, w.trx.mode);
}

function wireFt817() {
  const form = $('#ft817');
  form.elements.freq.addEventListener('change', (e) => applyEvent(`ft817 freq ${hz(e.target)}`));
  form.elements.mode.addEventListener('change', (e) => applyEvent(`ft817 mode ${e.target.value}`));
}

function showFt817(w) {
  const form = $('#ft817');
  form.hidden = !(w.ft817 && w.ft817.wired);
  if (form.hidden) return;
  showValue(form.elements.freq, mhz(w.ft817.freq));
  showValue(form.elements.mode, w.ft817.mode);
}

function wireLoads() {
  for (const row of $$('#loads tr[data-antenna]')) {
    const field = (name) => $(`input[name="${name}"]`, row);
    row.addEventListener('change', () => {
      const scale = field('scale').checked ? ' scale' : '';
      applyEvent(`antenna ${row.dataset.antenna} load ${field('r').value} ${field('x').value}${scale}`);
    });
  }
}

function showLoads(w) {
  $$('#loads tr[data-antenna]').forEach((row, i) => {
    const load = w.loads[i];
    showValue($('input[name="r"]', row), load.r);
    showValue($('input[name="x"]', row), load.x);
    showValue($('input[name="scale"]', row), load.scale);
  });
}

function wireFaults() {
  const f = $('#faults').elements;
  const lines = {
    silence: () => `amp silence ${f.silence.value}`,
    'corrupt-crc': () => `amp corrupt-crc ${f.crc.value}`,
    restart: () => 'amp restart',
    temp: () => `amp temp ${f.sensor.value} ${f.temp.value}`,
    free: () => `amp temp ${f.sensor.value} free`,
  };
  for (const button of $$('#faults button'))
    button.addEventListener('click', () => applyEvent(lines[button.dataset.fault]()));
}

// ---- the state: polled a few times a second

function showState(s) {
  showKeys(s);
  if (s.readouts) showReadouts(s.readouts);
  if (s.commands) showCommands(s.commands);
  showExciter(s.world);
  showFt817(s.world);
  showLoads(s.world);
}

async function followState() {
  for (;;) {
    try {
      const response = await request('GET', '/state');
      if (response.ok) {
        page.state = await response.json();
        showState(page.state);
      }
    } catch (error) {
      page.connected = false;
    }
    showStatus();
    await pause(STATE_PERIOD_MS);
  }
}

wireKeys();
wireExciter();
wireFt817();
wireLoads();
wireFaults();
streamScreen();
followState();
