// What the page's terminal sends for a key, as the key codes a script reads,
// mapped as vorla maps a terminal's keys (platform/terminal_console.h).

const ESC = 27;
const DEL = 127;
const BACKSPACE = 8;
const encoder = new TextEncoder();

// The key codes of `data`, what the terminal sent for one key or one paste:
// its bytes (UTF-8 for text beyond ASCII), Enter as 13, Backspace and DEL as
// 8, ESC alone as 27. A special key's escape sequence (ESC [ ... or ESC O ...
// up to its final byte: arrows, function keys, Home, ...) gives nothing, so
// that it is never taken for ESC; ESC followed by any other byte (Alt and a
// key) is 27, then that byte.
export function keyCodes(data) {
  const bytes = encoder.encode(data);
  const codes = [];
  for (let i = 0; i < bytes.length; i++) {
    const b = bytes[i];
    if (b === ESC && (bytes[i + 1] === 0x5b || bytes[i + 1] === 0x4f)) {
      i = SequenceEnd(bytes, i);
      continue;
    }
    codes.push(b === DEL ? BACKSPACE : b);
  }
  return codes;
}

// The index of the last byte of the escape sequence that starts at `start`:
// its final byte (0x40..0x7E) after parameter bytes (0x20..0x3F); a byte that
// is neither ends it before itself. ESC [ [ x is the Linux console's F1..F5.
function SequenceEnd(bytes, start) {
  let i = start + 2;
  if (bytes[start + 1] === 0x5b && bytes[i] === 0x5b) i++;
  while (i < bytes.length && bytes[i] >= 0x20 && bytes[i] <= 0x3f) i++;
  return i < bytes.length && bytes[i] >= 0x40 && bytes[i] <= 0x7e ? i : i - 1;
}
