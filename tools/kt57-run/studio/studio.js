// The rehearsal page: it asks the server for the moment under the cursor and draws it. It holds
// no model of the rehearsal; an event stream tells it at once when the files change on the disk.
"use strict";

const scale = 1.5;            // as --scale in studio.css
const cellPixels = 8;         // the canvas's column width
const windowPixels = 480;     // the console window's width

const $ = (id) => document.getElementById(id);
const slider = $("time-slider");
const valueBox = $("time-value");

let rehearsal = null;  // the answer of api/rehearsal
let pending = null;    // the moment request in flight, aborted when the cursor moves on

async function fetchJson(path, options) {
  const response = await fetch(path, options);
  if (!response.ok) throw new Error(`${path}: ${response.status} ${await response.text()}`);
  return response.json();
}

function clampedTime(text) {
  const value = Math.round(Number(text));
  if (!Number.isFinite(value) || value < 0) return 0;
  return rehearsal ? Math.min(value, rehearsal.until) : value;
}

function showProblem(text) {
  $("problem").hidden = !text;
  $("problem").textContent = text || "";
}

async function loadRehearsal() {
  rehearsal = await fetchJson("api/rehearsal");
  $("folder").textContent = rehearsal.folder;
  $("events-file").textContent = rehearsal.events || "(none)";
  $("until").textContent = rehearsal.until;
  slider.max = valueBox.max = rehearsal.until;
  showProblem(rehearsal.error);
}

function drawConsole(cells) {
  const screen = $("console");
  const fragment = document.createDocumentFragment();
  let columns = windowPixels / cellPixels;
  let lowest = 0;
  for (const cell of cells) {
    const span = document.createElement("span");
    span.className = "cell" + (cell.width === 2 ? " wide" : "") + (cell.red ? " red" : "");
    span.textContent = cell.text;
    span.style.left = `${cell.column * cellPixels * scale}px`;
    span.style.top = `${cell.y * scale}px`;
    span.dataset.y = cell.y;
    span.dataset.column = cell.column;
    fragment.appendChild(span);
    columns = Math.max(columns, cell.column + cell.width);
    lowest = Math.max(lowest, cell.y);
  }
  screen.replaceChildren(fragment);
  screen.style.width = `${columns * cellPixels * scale}px`;
  screen.style.height = `${(lowest + 30) * scale}px`;
}

async function showMoment(at) {
  if (pending) pending.abort();
  const request = new AbortController();
  pending = request;
  try {
    const moment = await fetchJson(`api/moment?at=${at}`, { signal: request.signal });
    drawConsole(moment.cells);
    $("shown-at").textContent = moment.at;
    $("state").textContent = moment.state;
    $("screen-text").textContent = moment.screen;
    document.body.dataset.shownAt = moment.at;  // for scripts that wait for a drawn moment
  } catch (error) {
    if (error.name !== "AbortError") showProblem(String(error.message || error));
  } finally {
    if (pending === request) pending = null;
  }
}

function moveTo(text) {
  const at = clampedTime(text);
  slider.value = valueBox.value = at;
  showMoment(at);
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
    $("notice").hidden = false;
    $("notice").textContent = `${names} changed on the disk at ${new Date().toLocaleTimeString()}: rehearsed again.`;
    document.body.dataset.version = change.version;
    await loadRehearsal();
    showMoment(clampedTime(valueBox.value));
  });
  stream.addEventListener("error", () => {
    link.textContent = "Not connected: kt57-run has ended";
    link.className = "link lost";
  });
}

slider.addEventListener("input", () => moveTo(slider.value));
valueBox.addEventListener("change", () => moveTo(valueBox.value));

// The address may name the first moment: ...#at=2000
const asked = /^#at=(\d+)$/.exec(location.hash);

loadRehearsal()
  .then(() => {
    listen();
    moveTo(asked ? asked[1] : valueBox.value);
  })
  .catch((error) => showProblem(String(error.message || error)));
