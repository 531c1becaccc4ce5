// The page: the editor and its examples, Run and Stop, the terminal a script
// runs in, and its diagnostics, each place they name a link into the editor.
import { keyCodes } from "./keys.js";
import { loadInterpreter } from "./run.js";

const CTRL_C = "\x03";
const editor = document.getElementById("editor");
const examples = document.getElementById("examples");
const runButton = document.getElementById("run");
const stopButton = document.getElementById("stop");
const status = document.getElementById("status");
const where = document.getElementById("where");
const diagnostics = document.getElementById("diagnostics");

const terminal = new Terminal({
  cols: 80,
  rows: 24,
  convertEol: true, // a line feed starts a new line, as a terminal's output processing does
  cursorBlink: true,
  scrollback: 5000,
  fontFamily: 'ui-monospace, "DejaVu Sans Mono", monospace',
  fontSize: 14,
});
terminal.open(document.getElementById("terminal"));
// The terminal's text, a line for each row with its blanks at the end cut
// off; for the tests (tests/web/test_page.mjs).
window.terminalText = () => {
  const buffer = terminal.buffer.active;
  const lines = [];
  for (let i = 0; i < buffer.length; i++) lines.push(buffer.getLine(i).translateToString(true));
  return lines.join("\n").replace(/\n+$/, "");
};
// Resolves once the terminal holds every byte written to it so far.
window.terminalDrawn = () => new Promise((resolve) => terminal.write("", resolve));

let interpreter = null;
let running = false;
let scriptName = "script.vl";

// ---- The examples ----

async function loadExamples() {
  const list = await (await fetch("examples/index.json")).json();
  for (const { file, title } of list) examples.add(new Option(`${file}: ${title}`, file));
  examples.value = list.some((e) => e.file === "guess.vl") ? "guess.vl" : list[0].file;
  await pickExample();
}

async function pickExample() {
  const file = examples.value;
  editor.value = await (await fetch(`examples/${file}`)).text();
  scriptName = file;
  diagnostics.textContent = "";
  showWhere();
}

// ---- The editor ----

function lineAndColumn(offset) {
  const before = editor.value.slice(0, offset).split("\n");
  return [before.length, before[before.length - 1].length + 1];
}

function showWhere() {
  const [line, column] = lineAndColumn(editor.selectionStart);
  where.textContent = `${scriptName}, line ${line}, column ${column}`;
}

// Selects the character at LINE:COLUMN (columns count bytes from 1, as the
// diagnostics do).
function goTo(line, column) {
  const lines = editor.value.split("\n");
  let offset = 0;
  for (let i = 0; i < line - 1 && i < lines.length; i++) offset += lines[i].length + 1;
  const text = lines[line - 1] ?? "";
  const bytes = new TextEncoder().encode(text).subarray(0, column - 1);
  offset += new TextDecoder().decode(bytes).length;
  editor.focus();
  editor.setSelectionRange(offset, Math.min(offset + 1, offset + text.length));
  const lineHeight = editor.scrollHeight / Math.max(lines.length, 1);
  editor.scrollTop = Math.max(0, (line - 5) * lineHeight);
  showWhere();
}

// ---- Diagnostics ----

// Each "vorla: FILE:LINE:COLUMN:" becomes a link to that place.
function showDiagnostics(lines) {
  diagnostics.textContent = "";
  const place = /^(vorla: )(.*?):(\d+):(\d+)(: .*)$/;
  for (const line of lines) {
    const m = place.exec(line);
    if (m && m[2] === scriptName) {
      diagnostics.append(m[1]);
      const link = document.createElement("a");
      link.href = "#";
      link.textContent = `${m[2]}:${m[3]}:${m[4]}`;
      link.addEventListener("click", (event) => {
        event.preventDefault();
        goTo(Number(m[3]), Number(m[4]));
      });
      diagnostics.append(link, m[5] + "\n");
    } else {
      diagnostics.append(line + "\n");
    }
  }
}

// ---- Running ----

async function run() {
  if (running) return;
  running = true;
  runButton.disabled = true;
  stopButton.disabled = false;
  examples.disabled = true;
  diagnostics.textContent = "";
  status.textContent = "Running: type into the terminal; ESC or Stop ends the script.";
  terminal.reset();
  terminal.focus();
  const result = await interpreter.run(scriptName, editor.value);
  await window.terminalDrawn();
  showDiagnostics(result.errors);
  status.textContent =
    result.failure !== undefined
      ? `The interpreter failed: ${result.failure}`
      : `Ended with exit status ${result.status}.`;
  running = false;
  runButton.disabled = false;
  stopButton.disabled = true;
  examples.disabled = false;
  document.body.dataset.runs = String(Number(document.body.dataset.runs ?? 0) + 1);
}

terminal.onData((data) => {
  if (!running) return;
  if (data === CTRL_C) {
    interpreter.stop();
  } else {
    interpreter.type(keyCodes(data));
  }
});

runButton.addEventListener("click", run);
stopButton.addEventListener("click", () => interpreter.stop());
examples.addEventListener("change", pickExample);
editor.addEventListener("keyup", showWhere);
editor.addEventListener("click", showWhere);
editor.addEventListener("input", showWhere);
// Ctrl-Enter in the editor runs the script.
editor.addEventListener("keydown", (event) => {
  if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) {
    event.preventDefault();
    run();
  }
});

// The page's query parameters are the interpreter's environment: the tests
// run the walker alone with ?VORLA_DECODE=0.
interpreter = await loadInterpreter(terminal, Object.fromEntries(new URLSearchParams(location.search)));
await loadExamples();
runButton.disabled = false;
status.textContent = "Pick an example or write a script, then Run (Ctrl-Enter).";
document.body.dataset.ready = "yes";
