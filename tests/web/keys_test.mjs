// The page's keys: what its terminal sends for a key, as the codes a script
// reads (web/keys.js), mapped as vorla maps a terminal's keys.
import assert from "node:assert/strict";
import { test } from "node:test";

import { keyCodes } from "../../web/keys.js";

test("Enter, Backspace, DEL and ESC are the codes a terminal gives", () => {
  assert.deepEqual(keyCodes("\r"), [13]);
  assert.deepEqual(keyCodes("\x7f"), [8]);
  assert.deepEqual(keyCodes("\b"), [8]);
  assert.deepEqual(keyCodes("\x1b"), [27]);
  assert.deepEqual(keyCodes("a1 "), [97, 49, 32]);
});

test("special keys give nothing, never ESC", () => {
  for (const key of ["\x1b[A", "\x1bOA", "\x1b[15~", "\x1bOP", "\x1b[1;5C", "\x1b[[A", "\x1b[200~"]) {
    assert.deepEqual(keyCodes(key), [], JSON.stringify(key));
  }
  // What follows a sequence in one piece is keys of its own.
  assert.deepEqual(keyCodes("\x1b[Dx"), [120]);
  assert.deepEqual(keyCodes("\x1b[1\x08"), [8]);
});

test("ESC before any other byte is ESC, then that key", () => {
  assert.deepEqual(keyCodes("\x1bx"), [27, 120]);
  assert.deepEqual(keyCodes("\x1b\x1b"), [27, 27]);
});

test("text beyond ASCII is its UTF-8 bytes", () => {
  assert.deepEqual(keyCodes("é"), [0xc3, 0xa9]);
});
