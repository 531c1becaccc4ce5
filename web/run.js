// Runs scripts in the page: vorla.js (the interpreter, built by make web),
// and the page's side of its console (platform/web_console.h), which the
// interpreter reaches as Module.vorlaPage.
import createVorla from "./vorla.js";

// The browser's next turn, through a message rather than a timer: the
// browser may delay a timer by 4 ms and more, a message not.
const channel = new MessageChannel();
const turns = [];
channel.port1.onmessage = () => turns.shift()();
function nextTurn() {
  return new Promise((resolve) => {
    turns.push(resolve);
    channel.port2.postMessage(0);
  });
}

// The console's page side for one run: output to `terminal` (an xterm.js
// Terminal), keys pushed by the page, Stop, and the pauses of the run.
class PageConsole {
  constructor(terminal) {
    this.terminal = terminal;
    this.keys = [];
    this.stopped = false;
    this.backlog = 0; // output bytes the terminal has not drawn yet
    this.wake = null; // resolves the pause or the wait for a key in progress
  }

  // ---- For the interpreter ----
  write(bytes) {
    this.backlog += bytes.length;
    this.terminal.write(bytes, () => {
      this.backlog -= bytes.length;
      this.wakeUp();
    });
    return this.backlog;
  }
  key(take) {
    if (this.keys.length === 0) return -1;
    return take ? this.keys.shift() : this.keys[0];
  }
  escWaiting() {
    return this.keys.includes(27);
  }
  stopRequested() {
    return this.stopped;
  }
  async pause(backlog) {
    await nextTurn();
    while (this.backlog > backlog && !this.stopped) await this.sleep();
  }
  async waitForKey() {
    document.body.dataset.waiting = "key";
    while (this.keys.length === 0 && !this.stopped) await this.sleep();
    delete document.body.dataset.waiting;
  }

  // ---- For the page ----
  push(codes) {
    this.keys.push(...codes);
    this.wakeUp();
  }
  stop() {
    this.stopped = true;
    this.wakeUp();
  }

  sleep() {
    return new Promise((resolve) => (this.wake = resolve));
  }
  wakeUp() {
    const wake = this.wake;
    this.wake = null;
    if (wake) wake();
  }
}

// The interpreter, loaded once and again after a run that broke it, with
// `environment` as its environment variables. Answers an object whose run()
// runs one script to its end.
export async function loadInterpreter(terminal, environment) {
  let vorla = null;
  let console = null;
  let errors = [];

  async function load() {
    vorla = await createVorla({
      environment,
      vorlaPage: {
        write: (bytes) => console.write(bytes),
        key: (take) => console.key(take),
        escWaiting: () => console.escWaiting(),
        stopRequested: () => console.stopRequested(),
        pause: (backlog) => console.pause(backlog),
        waitForKey: () => console.waitForKey(),
      },
      print: (line) => terminal.write(line + "\n"),
      printErr: (line) => errors.push(line),
    });
  }
  await load();

  // Runs the script `text` as the file `name`, as `vorla NAME` would. Answers
  // {status, errors}: the exit status and the lines of standard error (the
  // diagnostic), or {failure} when the interpreter itself broke.
  async function run(name, text) {
    const m = vorla;
    console = new PageConsole(terminal);
    errors = [];
    m.FS.writeFile(name, text);
    const args = ["vorla", name].map((arg) => {
      const bytes = new TextEncoder().encode(arg + "\0");
      const at = m._malloc(bytes.length);
      m.HEAPU8.set(bytes, at);
      return at;
    });
    const argv = m._malloc(4 * args.length);
    m.HEAP32.set(args, argv >> 2);
    try {
      const status = await m.ccall("main", "number", ["number", "number"], [args.length, argv], { async: true });
      [argv, ...args].forEach((at) => m._free(at));
      return { status, errors };
    } catch (failure) {
      await load();
      return { failure: String(failure), errors };
    }
  }

  return {
    run,
    type: (codes) => console && console.push(codes),
    stop: () => console && console.stop(),
  };
}
