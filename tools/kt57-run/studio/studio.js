// The rehearsal page: it asks the server for the moment under the cursor and draws it, with the
// marks, the waveform strip, why and what-if. It holds no model of the rehearsal beyond what it
// draws; an event stream tells it at once when the files change on the disk.
"use strict";

const scale = 1.5;            // as --scale in studio.css
const cellPixels = 8;         // the canvas's column width
const windowPixels = 480;     // the console window's width
const rowPixels = 22;         // a signal's row in the strip
const labelPixels = 64;       // the strip's names
const speeds = [1, 10, 100];

const $ = (id) => document.getElementById(id);
const slider = $("time-slider");
const valueBox = $("time-value");
const strip = $("strip");

const page = {
  rehearsal: null,   // api/rehearsal
  marks: null,       // api/marks
  cursor: { at: 0, position: 0 },
  view: { from: 0, to: 60000 },
  signals: ["out0", "out1", "out2", "out3", "in0", "in1", "in2", "in3", "line", "running"],
  traces: [],        // api/changes for the view
  before: [],        // the same of the rehearsal a what-if left
  playing: false,
  inFlight: 0,
  drawn: 0,
  listingLine: null, // the chain's step whose line why marks: {line, listing}
  lastInputs: 0,
};

async function fetchJson(path, options) {
  page.inFlight += 1;
  document.body.dataset.busy = "1";
  try {
    const response = await fetch(path, options);
    if (!response.ok) throw new Error(`${(await response.text()).trim()}`);
    return await response.json();
  } finally {
    page.inFlight -= 1;
    if (page.inFlight === 0) delete document.body.dataset.busy;
  }
}

const post = (path, body) => fetchJson(path, { method: "POST", body: body || "" });

function until() { return page.rehearsal ? page.rehearsal.until : 60000; }
function clampedTime(value) {
  const at = Math.round(Number(value));
  if (!Number.isFinite(at) || at < 0) return 0;
  return Math.min(at, until());
}

function showProblem(text) {
  $("problem").hidden = !text;
  $("problem").textContent = text || "";
}
function reportProblem(error) {
  if (error && error.name === "AbortError") return;
  showProblem(String((error && error.message) || error));
}

// ---- the console -------------------------------------------------------------------------

// The hover meanings: a band's texts as one line, a blank per empty column, searched for the
// texts of the meanings table.
function attachMeanings(items) {
  let line = "";
  const owner = [];  // the span of each character of line, or null for a gap
  let column = 0;
  for (const item of items) {
    item.span.removeAttribute("title");
    item.span.classList.remove("meant");
    while (column < item.column) { line += " "; owner.push(null); column += 1; }
    line += item.text;
    for (let i = 0; i < item.text.length; i += 1) owner.push(item.span);
    column += item.width;
  }
  const taken = new Array(line.length).fill(false);
  for (const [text, meaning] of screenMeanings) {
    for (let at = line.indexOf(text); at >= 0; at = line.indexOf(text, at + text.length)) {
      if (taken.slice(at, at + text.length).some(Boolean)) continue;
      for (let i = at; i < at + text.length; i += 1) {
        taken[i] = true;
        if (owner[i]) { owner[i].title = meaning; owner[i].classList.add("meant"); }
      }
    }
  }
}

// The cells drawn, by "y:column": a new moment changes only the cells that differ from the last
// one, which keeps a drag through the rehearsal within a frame.
const shownCells = new Map();
const shownBands = new Map();  // y: the band's texts as last given meanings

function cellClass(cell) {
  return "cell" + (cell.width === 2 ? " wide" : "") + (cell.red ? " red" : "");
}

function drawConsole(cells) {
  const box = $("cells");
  const seen = new Set();
  const bands = new Map();  // y: the band's items, left to right as the server lists them
  let columns = windowPixels / cellPixels;
  let lowest = 0;
  for (const cell of cells) {
    const key = `${cell.y}:${cell.column}`;
    seen.add(key);
    let item = shownCells.get(key);
    if (!item) {
      const span = document.createElement("span");
      span.style.left = `${cell.column * cellPixels * scale}px`;
      span.style.top = `${cell.y * scale}px`;
      span.dataset.y = cell.y;
      item = { column: cell.column, width: 0, text: null, red: null, span };
      shownCells.set(key, item);
      box.appendChild(span);
    }
    if (item.text !== cell.text || item.red !== cell.red || item.width !== cell.width) {
      item.span.className = cellClass(cell);
      item.span.textContent = cell.text;
      Object.assign(item, { text: cell.text, red: cell.red, width: cell.width });
    }
    if (!bands.has(cell.y)) bands.set(cell.y, []);
    bands.get(cell.y).push(item);
    columns = Math.max(columns, cell.column + cell.width);
    lowest = Math.max(lowest, cell.y);
  }
  for (const [key, item] of shownCells) {
    if (!seen.has(key)) { item.span.remove(); shownCells.delete(key); }
  }
  for (const y of shownBands.keys()) if (!bands.has(y)) shownBands.delete(y);
  for (const [y, items] of bands) {
    const signature = items.map((item) => `${item.column}:${item.text}`).join("\u0000");
    if (shownBands.get(y) === signature) continue;
    shownBands.set(y, signature);
    attachMeanings(items);
  }
  const screen = $("console");
  const width = `${columns * cellPixels * scale}px`;
  const height = `${Math.max(lowest + 30, 620) * scale}px`;
  if (screen.style.width !== width) screen.style.width = width;
  if (screen.style.height !== height) screen.style.height = height;
  markListingLine();
}

// The line why named: its number and its cell in the console's listing (canvas pixels), as the
// server gives them. The console shows its listing only at some moments; the mark is drawn only
// when a cell of the screen lies in the line's cell, and the program panel marks the line always.
function markListingLine() {
  const mark = $("listing-mark");
  const marked = page.listingLine;
  const shown = marked && marked.listing && [...shownCells.values()].some((item) => {
    const x = item.column * cellPixels;
    const y = Number(item.span.dataset.y);
    return y >= marked.listing.y && y < marked.listing.y + marked.listing.height &&
      x >= marked.listing.x && x < marked.listing.x + marked.listing.width;
  });
  mark.hidden = !shown;
  if (shown) {
    mark.style.left = `${marked.listing.x * scale}px`;
    mark.style.top = `${marked.listing.y * scale}px`;
    mark.style.width = `${marked.listing.width * scale}px`;
    mark.style.height = `${marked.listing.height * scale}px`;
    mark.title = `Line ${marked.line}: the line that sent the frame`;
  }
  markProgramLine("why", marked ? marked.line : 0);
}

// ---- the program -------------------------------------------------------------------------

const programMarks = { current: 0, why: 0 };  // the lines marked in the program panel, from 1

async function loadProgram() {
  const program = await fetchJson("api/program");
  const list = $("program");
  list.replaceChildren(...program.lines.map((line) => {
    const item = document.createElement("li");
    const label = document.createElement("span");
    label.className = "label";
    label.textContent = line.label ? String(line.label) : "";
    const code = document.createElement("code");
    code.textContent = line.text;
    item.append(label, code);
    return item;
  }));
  for (const kind of Object.keys(programMarks)) {
    const line = programMarks[kind];
    programMarks[kind] = 0;
    markProgramLine(kind, line);
  }
}

// Marks line (from 1; 0: none) as the one being executed ("current") or the one why named ("why").
function markProgramLine(kind, line) {
  if (programMarks[kind] === line) return;
  const items = $("program").children;
  if (programMarks[kind] && items[programMarks[kind] - 1]) items[programMarks[kind] - 1].classList.remove(kind);
  programMarks[kind] = line;
  if (line && items[line - 1]) items[line - 1].classList.add(kind);
}

// asked: the time the cursor was put at, which the slider keeps; a step's moment moves it.
function showMomentData(moment, asked) {
  const at = asked === undefined ? moment.at : asked;
  page.cursor = { at, position: moment.position };
  drawConsole(moment.cells);
  $("shown-at").textContent = moment.at;
  $("shown-position").textContent = moment.position;
  $("state").textContent = moment.state;
  markProgramLine("current", moment.line);
  $("screen-text").textContent = moment.screen;
  const inputs = /\bin=([0-9A-Fa-f]{6})\b/.exec(moment.state);
  if (inputs) page.lastInputs = parseInt(inputs[1], 16);
  slider.value = valueBox.value = Math.min(at, until());
  placeStripCursor();
  page.drawn += 1;
  // For scripts: the moment drawn, and whether it is the whole moment kt57-run --at prints.
  document.body.dataset.shownAt = moment.at;
  document.body.dataset.position = moment.position;
  document.body.dataset.whole = moment.whole ? "1" : "0";
  document.body.dataset.drawn = page.drawn;
}

let pending = null;  // the moment request in flight, aborted when the cursor moves on
async function fetchMoment(path, asked) {
  if (pending) pending.abort();
  const request = new AbortController();
  pending = request;
  try {
    const moment = await fetchJson(path, { signal: request.signal });
    if (pending === request) showMomentData(moment, asked);
  } catch (error) {
    reportProblem(error);
  } finally {
    if (pending === request) pending = null;
  }
}

function moveTo(value) {
  const at = clampedTime(value);
  slider.value = valueBox.value = at;
  return fetchMoment(`api/moment?at=${at}`, at);
}

function step(by, direction) {
  return fetchMoment(`api/step?from=${page.cursor.position}&by=${by}&dir=${direction}`);
}

async function changeNear(direction) {
  const signal = $("why-pin").value;
  try {
    const near = await fetchJson(`api/change?signal=${signal}&at=${page.cursor.at}&dir=${direction}`);
    if (near.at === null) {
      showNotice(`${signal} does not change ${direction > 0 ? "after" : "before"} ${page.cursor.at} ms.`);
      return;
    }
    await moveTo(near.at);
  } catch (error) {
    reportProblem(error);
  }
}

function showNotice(text) {
  $("notice").hidden = !text;
  $("notice").textContent = text || "";
}

// ---- marks -------------------------------------------------------------------------------

function markTitle(kind, at, text) { return `${at} ms: ${text}`; }

// Marks of a kind that fall on the same spot of the slider (a thousandth of it) are one mark, which
// goes to the first of them: an hour of events stays a few hundred buttons.
function drawMarks() {
  const box = $("marks");
  const fragment = document.createDocumentFragment();
  const shown = new Map();
  const add = (at, kind, text) => {
    const spot = `${kind} ${Math.round((1000 * at) / Math.max(1, until()))}`;
    const same = shown.get(spot);
    if (same) {
      same.more += 1;
      same.mark.title = `${markTitle(kind, same.at, same.text)} (and ${same.more} more here)`;
      return;
    }
    const mark = document.createElement("button");
    mark.className = `mark ${kind}`;
    mark.style.left = `${(100 * at) / Math.max(1, until())}%`;
    mark.title = markTitle(kind, at, text);
    mark.dataset.at = at;
    mark.addEventListener("click", () => moveTo(at));
    fragment.appendChild(mark);
    shown.set(spot, { at, text, mark, more: 0 });
  };
  const marks = page.marks;
  if (marks) {
    for (const event of marks.events) add(event.at, event.whatIf ? "what-if" : event.kind, `${event.kind}: ${event.line}`);
    for (const [at, value] of marks.running) add(at, value ? "started" : "stopped", value ? "the program started" : "the program stopped");
    for (const stop of marks.errorStops) add(stop.at, "error", `${stop.stop} error stop at line ${stop.line}`);
    if (marks.endedEarly) add(marks.end, "end", "the rehearsal ended");
    if (marks.differs) add(marks.firstDifference, "differs", "the outputs first differ from before here");
    for (const failed of marks.failed) add(failed.at, "failed", failed.finding);
  }
  box.replaceChildren(fragment);
  listFailedExpectations();
}

// A link that moves the cursor to at, after first() (what else the click chooses).
function momentButton(at, title, first) {
  const go = document.createElement("button");
  go.className = "link-button";
  go.textContent = `${at} ms`;
  go.title = title || "Go to this moment";
  go.addEventListener("click", () => {
    first();
    moveTo(at);
  });
  return go;
}

// The events file's expectations that failed, each a way to its moment (and its pin's why).
function listFailedExpectations() {
  const marks = page.marks;
  $("expectations").hidden = !marks || marks.expectations === 0;
  if (!marks) return;
  const count = (n, one, many) => `${n} ${n === 1 ? one : many}`;
  const expectations = count(marks.expectations, "expectation", "expectations");
  $("expectations-summary").textContent = marks.failed.length === 0
    ? `${expectations} in the events file: all held.`
    : `${expectations} in the events file; ${count(marks.failed.length, "failure", "failures")}:`;
  const list = $("failed-list");
  list.replaceChildren();
  for (const failed of marks.failed) {
    const item = document.createElement("li");
    const go = momentButton(failed.at, failed.pin ? `Go to this moment and select ${failed.pin}` : "", () => {
      if (failed.pin) $("why-pin").value = failed.pin;
    });
    const finding = document.createElement("code");
    finding.textContent = failed.finding;
    item.append(go, " ", finding);
    list.appendChild(item);
  }
  document.body.dataset.failed = marks.failed.length;
}

async function loadMarks() {
  page.marks = await fetchJson("api/marks");
  drawMarks();
}

// ---- the waveform strip --------------------------------------------------------------------

// Read once per drawing of the strip: reading it while the cursor moves would lay the page out.
let stripPixels = 0;
function stripWidth() { return stripPixels - labelPixels; }
function xOf(at) {
  const { from, to } = page.view;
  return labelPixels + ((at - from) * stripWidth()) / Math.max(1, to - from);
}
function timeOf(x) {
  const { from, to } = page.view;
  return Math.round(from + ((x - labelPixels) * (to - from)) / Math.max(1, stripWidth()));
}

async function loadTraces() {
  stripPixels = strip.clientWidth;
  const { from, to } = page.view;
  const query = `signals=${page.signals.join(",")}&from=${from}&to=${to}&buckets=${Math.max(1, stripWidth())}`;
  const [traces, before] = await Promise.all([
    fetchJson(`api/changes?${query}`),
    fetchJson(`api/changes?${query}&before=1`),
  ]);
  page.traces = traces;
  page.before = before;
  drawStrip();
}

function drawTrace(context, trace, row, colour) {
  const top = row * rowPixels + 4;
  const height = rowPixels - 8;
  const isLevel = trace.signal !== "line";
  const y = (value) => (isLevel ? top + (value ? 0 : height) : top + height / 2);
  context.strokeStyle = colour;
  context.beginPath();
  let value = trace.initial;
  let x = labelPixels;
  context.moveTo(x, y(value));
  for (const [at, next] of trace.changes) {
    const edge = xOf(at);
    context.lineTo(edge, y(value));
    if (isLevel) context.lineTo(edge, y(next));
    else { context.moveTo(edge, top); context.lineTo(edge, top + height); context.moveTo(edge, y(next)); }
    value = next;
    x = edge;
  }
  context.lineTo(labelPixels + stripWidth(), y(value));
  context.stroke();
  // Buckets with more changes than a pixel shows.
  context.fillStyle = colour;
  context.globalAlpha = 0.35;
  context.beginPath();
  for (const at of trace.busy) context.rect(xOf(at), top, 2, height);
  context.fill();
  context.globalAlpha = 1;
  if (!isLevel) {
    // The running line's number where there is room.
    context.font = "10px sans-serif";
    let last = -100;
    for (const [at, next] of trace.changes) {
      const edge = xOf(at);
      if (edge - last > 28 && next) { context.fillText(String(next), edge + 2, top + 9); last = edge; }
    }
  }
}

function drawStrip() {
  const ratio = window.devicePixelRatio || 1;
  const width = strip.clientWidth;
  stripPixels = width;
  const height = page.signals.length * rowPixels;
  if (strip.width !== Math.round(width * ratio) || strip.height !== Math.round(height * ratio)) {
    strip.width = Math.round(width * ratio);
    strip.height = Math.round(height * ratio);
    strip.style.height = `${height}px`;
  }
  const context = strip.getContext("2d");
  context.setTransform(ratio, 0, 0, ratio, 0, 0);
  context.clearRect(0, 0, width, height);
  context.font = "12px sans-serif";
  page.signals.forEach((name, row) => {
    context.fillStyle = row % 2 ? "#f6f6f4" : "#ffffff";
    context.fillRect(0, row * rowPixels, width, rowPixels);
    context.fillStyle = "#333";
    context.fillText(name, 4, row * rowPixels + 15);
  });
  page.before.forEach((trace, row) => drawTrace(context, trace, row, "#bbbbbb"));
  page.traces.forEach((trace, row) => drawTrace(context, trace, row, "#1f5fa8"));
  if (page.marks && page.marks.differs) {
    context.fillStyle = "#d08000";
    context.fillRect(xOf(page.marks.firstDifference), 0, 2, height);
  }
  placeStripCursor();
}

// The cursor is a line of its own over the strip: moving it redraws no waveform.
function placeStripCursor() {
  const cursor = $("strip-cursor");
  const x = xOf(page.cursor.at);
  cursor.hidden = x < labelPixels || x > stripPixels;
  cursor.style.transform = `translateX(${x.toFixed(1)}px)`;
  cursor.style.height = `${page.signals.length * rowPixels}px`;
}

function setView(from, to) {
  const span = Math.max(20, Math.min(until(), to - from));
  let start = Math.max(0, Math.min(from, until() - span));
  page.view = { from: Math.round(start), to: Math.round(start + span) };
  loadTraces().catch(reportProblem);
}

function zoom(factor, around) {
  const { from, to } = page.view;
  const centre = around === undefined ? page.cursor.at : around;
  setView(centre - (centre - from) * factor, centre + (to - centre) * factor);
}

// The edge nearest x in the row under the pointer, within 5 pixels.
function edgeNear(x, y) {
  const trace = page.traces[Math.floor(y / rowPixels)];
  if (!trace) return null;
  let best = null;
  for (const [at] of trace.changes) {
    const distance = Math.abs(xOf(at) - x);
    if (distance <= 5 && (best === null || distance < best.distance)) best = { at, distance };
  }
  return best && best.at;
}

let drag = null;
strip.addEventListener("mousedown", (event) => {
  drag = { x: event.offsetX, from: page.view.from, to: page.view.to, moved: false };
});
window.addEventListener("mouseup", (event) => {
  if (!drag) return;
  const wasDrag = drag.moved;
  drag = null;
  if (wasDrag || event.target !== strip) return;
  if (event.offsetX < labelPixels) return;
  const edge = edgeNear(event.offsetX, event.offsetY);
  moveTo(edge !== null ? edge : timeOf(event.offsetX));
});
strip.addEventListener("mousemove", (event) => {
  $("pointer-time").textContent = event.offsetX >= labelPixels ? clampedTime(timeOf(event.offsetX)) : "–";
  const edge = edgeNear(event.offsetX, event.offsetY);
  strip.style.cursor = edge !== null ? "pointer" : "crosshair";
  if (!drag) return;
  const dx = event.offsetX - drag.x;
  if (Math.abs(dx) > 3) drag.moved = true;
  if (!drag.moved) return;
  const shift = (dx * (drag.to - drag.from)) / Math.max(1, stripWidth());
  setView(drag.from - shift, drag.to - shift);
});
strip.addEventListener("mouseleave", () => { $("pointer-time").textContent = "–"; });
strip.addEventListener("wheel", (event) => {
  event.preventDefault();
  zoom(event.deltaY > 0 ? 1.25 : 0.8, timeOf(event.offsetX));
}, { passive: false });

function buildPinChoice() {
  const box = $("pin-choice");
  const names = [];
  for (let i = 0; i < 24; i += 1) names.push(`out${i}`);
  for (let i = 0; i < 24; i += 1) names.push(`in${i}`);
  names.push("line", "running");
  for (const name of names) {
    const label = document.createElement("label");
    const box1 = document.createElement("input");
    box1.type = "checkbox";
    box1.value = name;
    box1.checked = page.signals.includes(name);
    box1.addEventListener("change", () => {
      page.signals = names.filter((n) => box.querySelector(`input[value="${n}"]`).checked);
      loadTraces().catch(reportProblem);
    });
    label.append(box1, ` ${name}`);
    box.appendChild(label);
  }
  for (const name of names.slice(0, 48)) {
    $("why-pin").add(new Option(name, name));
    if (name.startsWith("in")) $("what-input").add(new Option(name, name.slice(2)));
  }
  $("why-pin").value = "out0";
}

// ---- play ----------------------------------------------------------------------------------

let lastFrame = 0;
let playAt = 0;
function playFrame(now) {
  if (!page.playing) return;
  const speed = Number($("speed").value);
  playAt = Math.min(until(), playAt + ((now - lastFrame) * speed));
  lastFrame = now;
  // One moment in flight at a time: at high speeds the screen shows every moment it can.
  if (!pending) moveTo(playAt);
  if (playAt >= until()) setPlaying(false);
  else requestAnimationFrame(playFrame);
}

function setPlaying(on) {
  page.playing = on;
  $("play").textContent = on ? "⏸ Pause" : "▶ Play";
  document.body.dataset.playing = on ? "1" : "0";
  if (on) {
    playAt = page.cursor.at;
    lastFrame = performance.now();
    requestAnimationFrame(playFrame);
  }
}

// ---- why -----------------------------------------------------------------------------------

function chainEntry(step) {
  const line = step.line ? `line ${step.line}${step.lineText ? ` (${step.lineText})` : ""}` : "";
  switch (step.kind) {
    case "frame": return `${line || "no program line"} sent ${step.frame}`;
    case "reply": return `the reply to ${line} set the register to ${step.value}`;
    case "and": return `${line} cleared bits of the register`;
    case "or": return `${line} set bits of the register`;
    case "input": return `${step.eventsLine ? `line ${step.eventsLine} of the events file` : "a scripted event"} set the inputs to ${step.value}`;
    default: return line;
  }
}

async function why() {
  const pin = $("why-pin").value;
  try {
    const answer = await fetchJson(`api/why?pin=${pin}&at=${page.cursor.at}`);
    $("why-panel").hidden = false;
    $("why-text").textContent = answer.text;
    const list = $("why-chain");
    list.replaceChildren();
    for (const step of answer.chain) {
      const item = document.createElement("li");
      const go = momentButton(step.at, "", () => { page.listingLine = step.line ? step : null; });
      item.append(go, ` ${chainEntry(step)}`);
      list.appendChild(item);
    }
    const frame = answer.chain.find((step) => step.kind === "frame");
    page.listingLine = frame && frame.line ? frame : null;
    if (page.listingLine) {
      const item = $("program").children[frame.line - 1];
      if (item) item.scrollIntoView({ block: "nearest" });
    }
    document.body.dataset.why = pin;
    if (answer.changed) await moveTo(answer.changedAt);
    else markListingLine();
  } catch (error) {
    reportProblem(error);
  }
}

// ---- what if ------------------------------------------------------------------------------

function whatIfLine() {
  const at = page.cursor.at;
  switch ($("what-kind").value) {
    case "flip": {
      const bit = Number($("what-input").value);
      const inputs = (page.lastInputs ^ (1 << bit)) >>> 0;
      return `${at} input ${inputs.toString(16).toUpperCase().padStart(6, "0")}`;
    }
    case "key": {
      const key = $("what-key").value.trim();
      return `${at} key ${key === "#" ? "code 35" : key}`;
    }
    default: return `${at} ${$("what-fault").value}`;
  }
}

function showFork(answer) {
  $("fork-box").hidden = answer.lines.length === 0;
  $("fork-lines").textContent = answer.lines.join("; ");
}

async function afterRehearsalChange() {
  await Promise.all([loadMarks(), loadTraces(), loadProgram()]);
  await moveTo(page.cursor.at);
}

async function forkHere(event) {
  event.preventDefault();
  try {
    showFork(await post("api/fork", whatIfLine()));
    showProblem("");
    await afterRehearsalChange();
    document.body.dataset.forks = (Number(document.body.dataset.forks || 0) + 1).toString();
  } catch (error) {
    reportProblem(error);
  }
}

async function forkAction(path) {
  try {
    const answer = await post(path);
    if (answer.saved) {
      showNotice(`Saved the what-if into ${answer.saved}.`);
      showFork({ lines: [] });
      return;  // the file's change rebuilds the rehearsal and tells the page
    }
    showFork(answer);
    await afterRehearsalChange();
  } catch (error) {
    reportProblem(error);
  }
}

function showWhatKind() {
  const kind = $("what-kind").value;
  $("what-input").hidden = kind !== "flip";
  $("what-key").hidden = kind !== "key";
  $("what-fault").hidden = kind !== "fault";
}

// ---- the rehearsal and its changes ----------------------------------------------------------

async function loadRehearsal() {
  page.rehearsal = await fetchJson("api/rehearsal");
  $("folder").textContent = page.rehearsal.folder;
  $("events-file").textContent = page.rehearsal.events || "(none)";
  $("until").textContent = page.rehearsal.until;
  slider.max = valueBox.max = page.rehearsal.until;
  showProblem(page.rehearsal.error);
}

function listen() {
  const stream = new EventSource("api/events");
  const link = $("link");
  stream.addEventListener("ready", () => {
    link.textContent = "Live";
    link.className = "link live";
  });
  stream.addEventListener("changed", async (event) => {
    const change = JSON.parse(event.data);
    const names = change.files.map((path) => path.split(/[\\/]/).pop()).join(", ");
    try {
      await loadRehearsal();
      showFork(await fetchJson("api/fork"));
      await afterRehearsalChange();
      const differs = page.marks.differs ? ` The outputs first differ at ${page.marks.firstDifference} ms.` : " The outputs are as before.";
      showNotice(`${names} changed on the disk at ${new Date().toLocaleTimeString()}: rehearsed again.${differs}`);
      document.body.dataset.version = change.version;
    } catch (error) {
      reportProblem(error);
    }
  });
  stream.addEventListener("error", () => {
    link.textContent = "Not connected: kt57-run has ended";
    link.className = "link lost";
  });
}

// ---- keys ----------------------------------------------------------------------------------

const keys = {
  " ": () => setPlaying(!page.playing),
  ArrowLeft: (event) => step(event.shiftKey ? "line" : "message", -1),
  ArrowRight: (event) => step(event.shiftKey ? "line" : "message", 1),
  "[": () => changeNear(-1),
  "]": () => changeNear(1),
  w: () => why(),
  f: () => $("fork").click(),
  "+": () => zoom(0.5),
  "-": () => zoom(2),
  0: () => setView(0, until()),
  1: () => { $("speed").value = speeds[0]; },
  2: () => { $("speed").value = speeds[1]; },
  3: () => { $("speed").value = speeds[2]; },
  Home: () => moveTo(0),
  End: () => moveTo(until()),
};

document.addEventListener("keydown", (event) => {
  const typing = event.target.matches("input[type=number], input:not([type]), select");
  if (typing || event.ctrlKey || event.altKey || event.metaKey) return;
  const action = keys[event.key];
  if (!action) return;
  event.preventDefault();
  action(event);
});

slider.addEventListener("input", () => moveTo(slider.value));
valueBox.addEventListener("change", () => moveTo(valueBox.value));
$("play").addEventListener("click", () => setPlaying(!page.playing));
$("message-back").addEventListener("click", () => step("message", -1));
$("message-forward").addEventListener("click", () => step("message", 1));
$("line-back").addEventListener("click", () => step("line", -1));
$("line-forward").addEventListener("click", () => step("line", 1));
$("change-back").addEventListener("click", () => changeNear(-1));
$("change-forward").addEventListener("click", () => changeNear(1));
$("why").addEventListener("click", why);
$("zoom-in").addEventListener("click", () => zoom(0.5));
$("zoom-out").addEventListener("click", () => zoom(2));
$("zoom-all").addEventListener("click", () => setView(0, until()));
$("what-kind").addEventListener("change", showWhatKind);
$("what-if").addEventListener("submit", forkHere);
$("save-events").addEventListener("click", () => forkAction("api/fork/save"));
$("dismiss").addEventListener("click", () => forkAction("api/fork/dismiss"));
$("drop-fork").addEventListener("click", () => forkAction("api/fork/drop"));
window.addEventListener("resize", () => loadTraces().catch(reportProblem));

// For scripts and benchmarks: move and wait until drawn.
window.studio = { moveTo, step, why, page };

// The address may name the first moment: ...#at=2000
const asked = /^#at=(\d+)$/.exec(location.hash);

buildPinChoice();
showWhatKind();
loadRehearsal()
  .then(async () => {
    listen();
    page.view = { from: 0, to: until() };
    const [fork] = await Promise.all([fetchJson("api/fork"), loadMarks(), loadTraces(), loadProgram(),
      moveTo(asked ? asked[1] : valueBox.value)]);
    showFork(fork);
    document.body.dataset.ready = "1";
  })
  .catch(reportProblem);
