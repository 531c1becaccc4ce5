// The page in a real browser: Chromium driven by playwright-core, the page
// served by Python's http.server on 127.0.0.1 as a person would serve it.
// A guessing game typed into with a Backspace, a key-polling script, ESC and
// Stop ending runs that compute or wait, a fault's diagnostic, and the deepest
// nesting ending in vorla's own limit errors, both ways. Leaves a screenshot,
// page-test.png, in the build folder.
//
// usage: node test_page.mjs NPM_FOLDER PAGE_FOLDER CHROMIUM BUILD_FOLDER
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";

const [npm, pageFolder, chromiumPath, buildFolder] = process.argv.slice(2);
const { chromium } = createRequire(join(npm, "package.json"))("playwright-core");
const limits = join(dirname(fileURLToPath(import.meta.url)), "..", "golden", "limits");

const WAIT = 30000; // ms for anything the page must show; a busy machine is slow
// The page's depth limits (platform/web_host.cpp).
const CALL_LIMIT = 250;
const NESTING_LIMIT = 800;
// Calls of a procedure that calls itself inside three blocks, four levels a
// call: the deepest that leave room for PrnDec_(InpChar_()) at the bottom.
const DEEPEST_CALLS = 200;
const BANNER = "vorla Ver0.01a 2016/01/31 by quillmar";

let server, base, browser;

// Python's http.server on a free port, as README says to serve the page.
function serve(folder) {
  return new Promise((resolve, reject) => {
    server = spawn("python3", ["-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", folder], {
      stdio: ["ignore", "pipe", "ignore"],
    });
    server.on("error", reject);
    let said = "";
    server.stdout.on("data", (data) => {
      said += data;
      const port = /port (\d+)/.exec(said);
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
  });
}

before(async () => {
  base = await serve(pageFolder);
  // Chromium as root in a closed network: no sandbox, nothing fetched.
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
});

after(async () => {
  await browser?.close();
  server?.kill();
});

// A fresh page, the interpreter loaded; `query` becomes its environment.
async function openPage(query = "") {
  const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  page.problems = problems;
  await page.goto(base + query);
  await page.waitForSelector("body[data-ready=yes]", { timeout: WAIT });
  return page;
}

const runs = (page) => page.evaluate(() => Number(document.body.dataset.runs ?? 0));
const terminalText = (page) => page.evaluate(() => terminalText());

// Starts `script` (or the example picked) and answers a promise of its end:
// the status line, the diagnostics and the terminal's text.
async function start(page, script) {
  if (script !== undefined) await page.fill("#editor", script);
  const before = await runs(page);
  await page.click("#run");
  return (async () => {
    await page.waitForFunction((n) => Number(document.body.dataset.runs ?? 0) > n, before, { timeout: WAIT });
    return {
      status: await page.textContent("#status"),
      diagnostics: await page.textContent("#diagnostics"),
      text: await terminalText(page),
    };
  })();
}

// Waits until the terminal's text ends with `tail` (blanks the script wrote
// are text, the terminal's empty cells are not).
async function waitForTail(page, tail) {
  await page.waitForFunction((t) => terminalText().endsWith(t), tail, { timeout: WAIT });
}

test("the guessing game takes typed guesses, a Backspace erasing", async () => {
  const page = await openPage();
  assert.equal(await page.inputValue("#examples"), "guess.vl");
  const ended = start(page);
  await waitForTail(page, "Type any number to mix things up: ");
  await page.keyboard.type("7");
  await page.keyboard.press("Enter");
  for (const guess of ["59\b0", "25", "37", "43", "49"]) {
    await waitForTail(page, "Your guess: ");
    for (const key of guess) {
      if (key === "\b") await page.keyboard.press("Backspace");
      else await page.keyboard.type(key);
    }
    await page.keyboard.press("Enter");
  }
  const run = await ended;
  assert.equal(
    run.text,
    [
      BANNER,
      "Guess the number!",
      "Type any number to mix things up: 7",
      "I am thinking of a number from 1 to 100.",
      "Your guess: 50",
      "  too big",
      "Your guess: 25",
      "  too small",
      "Your guess: 37",
      "  too small",
      "Your guess: 43",
      "  too small",
      "Your guess: 49",
      "Right! It was 49, found in 5 tries.",
    ].join("\n"),
  );
  assert.equal(run.status, "Ended with exit status 0.");
  assert.equal(run.diagnostics, "");
  await page.screenshot({ path: join(buildFolder, "page-test.png") });
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("a key-polling example moves on its own and takes keys as they come", async () => {
  const page = await openPage();
  await page.selectOption("#examples", "keys.vl");
  await page.waitForFunction(() => document.getElementById("editor").value.startsWith("# keys.vl"));
  const ended = start(page);
  await waitForTail(page, "|");
  // The star moves while no key is typed: the track is redrawn over itself.
  const track = () => terminalText(page).then((t) => t.split("\n").pop());
  const first = await track();
  await page.waitForFunction((t) => terminalText().split("\n").pop() !== t, first, { timeout: WAIT });
  await page.keyboard.type("d");
  await page.waitForFunction(() => terminalText().includes(" key 100"), null, { timeout: WAIT });
  await page.keyboard.type("q");
  const run = await ended;
  assert.match(run.text, /\nbye$/);
  assert.equal(run.status, "Ended with exit status 0.");
  await page.close();
});

test("ESC stops a script that computes without output, and the page answers meanwhile", async () => {
  const page = await openPage();
  const ended = start(page, 'var i;\nproc main() { PrnStr_("busy\\n"); for (;;) i = i + 1; PrnStr_("never"); }\n');
  await waitForTail(page, "busy");
  // The browser draws frames and runs the page's own code while the script runs.
  const frames = await page.evaluate(
    () =>
      new Promise((resolve) => {
        let count = 0;
        const begin = performance.now();
        const frame = () => (performance.now() - begin < 1000 ? (count++, requestAnimationFrame(frame)) : resolve(count));
        requestAnimationFrame(frame);
      }),
  );
  assert.ok(frames >= 10, `only ${frames} frames in a second`);
  assert.equal(await runs(page), 0, "the run ended by itself");
  await page.keyboard.press("Escape");
  const run = await ended;
  assert.equal(run.text, `${BANNER}\nbusy`);
  assert.equal(run.status, "Ended with exit status 0.");
  // The page runs the next script as usual.
  const next = await start(page, 'proc main() PrnStr_("again");\n');
  assert.equal(next.text, `${BANNER}\nagain`);
  await page.close();
});

test("a waiting ESC stops a printing loop at its output; space pauses it", async () => {
  const page = await openPage();
  const ended = start(page, "var i;\nproc main() for (i = 0; 1; i = i + 1) { PrnDec_(i); PrnStr_(\"\\n\"); }\n");
  await page.waitForFunction(() => terminalText().split("\n").length > 30, null, { timeout: WAIT });
  await page.keyboard.press(" ");
  await page.waitForSelector("body[data-waiting=key]", { timeout: WAIT });
  await page.evaluate(() => terminalDrawn());
  const paused = await terminalText(page);
  await page.waitForTimeout(500);
  assert.equal(await terminalText(page), paused, "output went on during the pause");
  await page.keyboard.press("Escape");
  const run = await ended;
  assert.equal(run.status, "Ended with exit status 0.");
  // Nothing more was printed (the line end that ends the output may scroll
  // the terminal by a line).
  const lastLines = (text) => text.split("\n").slice(-20).join("\n");
  assert.equal(lastLines(run.text), lastLines(paused));
  await page.close();
});

test("Stop and Ctrl-C end a run that waits for a line", async () => {
  const page = await openPage();
  for (const stop of [() => page.click("#stop"), () => page.keyboard.press("Control+C")]) {
    const ended = start(page);
    await waitForTail(page, "Type any number to mix things up: ");
    await page.keyboard.type("12");
    await stop();
    const run = await ended;
    assert.equal(run.status, "Ended with exit status 0.");
    assert.match(run.text, /mix things up: 12$/);
  }
  await page.close();
});

test("a fault is reported under the terminal with its line and column, linked to the place", async () => {
  const page = await openPage();
  const run = await start(page, 'proc main() {\n  PrnStr_("x");\n  totl = 1;\n}\n');
  assert.equal(run.status, "Ended with exit status 1.");
  assert.equal(run.text, `${BANNER}\nx\nerr at 3:totl = 1;`);
  assert.equal(
    run.diagnostics,
    "vorla: guess.vl:3:3: error: 'totl' is neither a variable nor a routine\n" +
      "    3 |   totl = 1;\n" +
      "      |   ^\n" +
      "note: declare it with 'var totl;'\n",
  );
  await page.click("#diagnostics a");
  const selected = await page.evaluate(() => document.getElementById("editor").selectionStart);
  assert.equal(selected, 'proc main() {\n  PrnStr_("x");\n  '.length);
  await page.close();
});

// Shapes that nest as deep as they can: each must end in vorla's own error at
// the page's limits, read both ways, never in the browser's stack overflow.
function deepShapes() {
  const k = 12;
  const shapes = {
    "procedure calling itself": "proc r() r();\nproc main() r();",
    "calls from a branch": "var n;\nproc r() { n = n + 1; if (n > 0) r(); }\nproc main() r();",
    "mutual calls": "proc a() b();\nproc b() { a(); }\nproc main() a();",
    "blocks": `proc r() { ${"if (1) { ".repeat(k)}r();${" }".repeat(k)} }\nproc main() r();`,
    "loop bodies": `proc r() { ${"for (; 1;) { ".repeat(k)}r();${" }".repeat(k)} }\nproc main() r();`,
    "do bodies": `proc r() { ${"do { ".repeat(k)}r();${" } while (0);".repeat(k)} }\nproc main() r();`,
    "parentheses": `func f() return = ${"(".repeat(k)}f()${")".repeat(k)};\nproc main() PrnDec_(f());`,
    "built-in calls": `func f() return = ${"Array_(".repeat(k)}f()${")".repeat(k)};\nproc main() PrnDec_(f());`,
  };
  for (const name of ["deepest_calls", "deepest_builtin_calls", "endless_procedure", "endless_mutual"]) {
    shapes[name] = readFileSync(join(limits, `${name}.vl`), "utf8");
  }
  return shapes;
}

for (const decode of ["1", "0"]) {
  test(`the deepest nesting ends in vorla's limit errors (VORLA_DECODE=${decode})`, async () => {
    const page = await openPage(`?VORLA_DECODE=${decode}`);
    for (const [name, script] of Object.entries(deepShapes())) {
      const run = await start(page, script);
      assert.equal(run.status, "Ended with exit status 1.", name);
      // The limit's fault, or a later one that names it as the first.
      assert.match(
        run.diagnostics,
        new RegExp(
          `(error|the first fault): (nesting too deep: more than ${NESTING_LIMIT} levels|` +
            `calls nested too deeply: more than ${CALL_LIMIT} calls)`,
        ),
        name,
      );
      assert.match(run.text, /\nerr at \d+:/, name);
    }
    // A run that pauses at the deepest nesting, waiting for a key, goes on
    // where it was; one call more is the limit's fault.
    const diver = (calls) =>
      `var n;\nproc r() { n = n + 1; if (n < ${calls}) { if (1) { if (1) { r(); } } } else PrnDec_(InpChar_()); ` +
      'n = n - 1; }\nproc main() { r(); PrnStr_(" back at "); PrnDec_(n); }';
    const ended = start(page, diver(DEEPEST_CALLS));
    await page.waitForSelector("body[data-waiting=key]", { timeout: WAIT });
    await page.keyboard.type("k");
    const run = await ended;
    assert.equal(run.text, `${BANNER}\n107 back at 0`);
    const past = await start(page, diver(DEEPEST_CALLS + 1));
    assert.match(past.diagnostics, new RegExp(`error: nesting too deep: more than ${NESTING_LIMIT} levels`));
    assert.deepEqual(page.problems, []);
    await page.close();
  });
}
