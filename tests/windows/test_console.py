#!/usr/bin/env python3
# The Windows build's console under Wine: keys typed on a pseudo-terminal (which
# Wine's console reads and draws on with escape sequences of its own, so the
# text is compared, not the bytes), keys from a Windows pipe and from a pipe
# Windows cannot look into, input that cannot be read, and output into a
# closed pipe.
"""Usage: test_console.py VORLA VORLA_PIPED [unittest options]

VORLA runs vorla.exe under Wine with the arguments given; VORLA_PIPED does
the same with a Windows pipe as its standard input, fed from its own."""
import fcntl
import os
import re
import select
import subprocess
import sys
import tempfile
import termios
import time
import unittest

VORLA = VORLA_PIPED = None
TIMEOUT = 60.0  # any one wait on the program; Wine starts slowly on a busy machine
BANNER = "vorla Ver0.01a 2016/01/31 by quillmar"
STATUS_CONTROL_C_EXIT = 0xC000013A

# Wine draws its console with cursor movements: a blank may come as "move one
# to the right", and hiding the cursor and erasing to the line's end go around
# everything. Text is what remains when those are read as blanks or nothing.
CURSOR_RIGHT = re.compile(rb"\x1b\[(\d*)C")
OTHER_SEQUENCE = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]")

# Timing: after every text the interpreter polls the keyboard once and loses a
# waiting key that is neither space nor ESC, and that poll may still be to come
# when the text is seen. So a typed line starts with a harmless Ctrl-X (the key
# lost, or erasing nothing), and the key for InpChar_ follows a gate: an
# Input_ with no text after it, passed with GATE.
GATE = b"\x181\r"
LINE_AND_KEYS = """var k, g, i;
proc main() {
  PrnStr_("type a line: ");
  k = Input_();
  PrnStr_("\\nvalue ");
  PrnDec_(k);
  PrnStr_("\\nkey: ");
  g = Input_();
  k = InpChar_();
  PrnStr_("got ");
  PrnDec_(k);
  PrnStr_("\\n");
  for (i = 0; i < 1000000000; i = i + 1) { PrnDec_(i); PrnStr_(" "); }
  PrnStr_("END");
}
"""


def text(output):
    def blanks(m):
        return b" " * int(m.group(1) or b"1")
    return OTHER_SEQUENCE.sub(b"", CURSOR_RIGHT.sub(blanks, output)).replace(b"\r", b"").decode("latin-1")


def script_file(test, script):
    folder = tempfile.TemporaryDirectory()
    test.addCleanup(folder.cleanup)
    with open(os.path.join(folder.name, "script.vl"), "w") as f:
        f.write(script)
    return folder.name


def take_terminal():
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)


class Run:
    """vorla.exe under Wine with the script, on a fresh pseudo-terminal, or
    with pipes for its standard streams when `piped` names the program."""

    def __init__(self, test, script, piped=None):
        self.test = test
        folder = script_file(test, script)
        self.output = b""
        if piped is None:
            self.master, slave = os.openpty()
            test.addCleanup(os.close, self.master)
            self.before = termios.tcgetattr(slave)
            self.slave = slave
            test.addCleanup(os.close, slave)
            self.proc = subprocess.Popen([VORLA, "script.vl"], cwd=folder, stdin=slave, stdout=slave,
                                         stderr=slave, start_new_session=True, preexec_fn=take_terminal)
            self.source = self.master
        else:
            self.proc = subprocess.Popen([piped, "script.vl"], cwd=folder, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            test.addCleanup(self.proc.stdin.close)
            test.addCleanup(self.proc.stdout.close)
            test.addCleanup(self.proc.stderr.close)
            self.source = self.proc.stdout.fileno()
        test.addCleanup(self._kill)

    def _kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def _read(self, timeout):
        ready, _, _ = select.select([self.source], [], [], max(timeout, 0))
        if not ready:
            return False
        try:
            data = os.read(self.source, 65536)
        except OSError:
            return False
        self.output += data
        return bool(data)

    def end_input(self):
        self.proc.stdin.close()

    def type(self, keys):
        if self.proc.stdin is not None:
            self.proc.stdin.write(keys)
            self.proc.stdin.flush()
            return
        # Wine's console turns the terminal raw when the program first asks
        # for a key, just after the output before that has come; typed
        # earlier, the keys would go through the terminal's line editing.
        deadline = time.monotonic() + TIMEOUT
        while termios.tcgetattr(self.slave)[3] & (termios.ECHO | termios.ICANON):
            self.test.assertLess(time.monotonic(), deadline, "the terminal never went raw")
            self._read(0.01)
        os.write(self.master, keys)

    def expect(self, wanted):
        """Reads until the text shows `wanted` after what was matched before."""
        deadline = time.monotonic() + TIMEOUT
        while wanted not in text(self.output):
            if time.monotonic() >= deadline:
                self.test.fail("waited for %r; output ends %r" % (wanted, text(self.output)[-300:]))
            self._read(deadline - time.monotonic())
        seen = text(self.output)
        return seen[seen.index(wanted):]

    def still_waiting(self, seconds=1.0):
        """Reads for a while; the program must still be running."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._read(deadline - time.monotonic())
        self.test.assertIsNone(self.proc.poll(), text(self.output)[-300:])

    def wait(self):
        """Waits for the end, reading all output; answers the exit status."""
        deadline = time.monotonic() + TIMEOUT
        while self.proc.poll() is None:
            if time.monotonic() >= deadline:
                self.test.fail("still running; output ends %r" % text(self.output)[-300:])
            self._read(0.05)
        while self._read(0):
            pass
        return self.proc.returncode

    def assert_settings_restored(self):
        self.test.assertEqual(termios.tcgetattr(self.slave), self.before)


class ConsoleTest(unittest.TestCase):
    def test_keys_reach_the_script_special_keys_do_not_and_esc_stops_it(self):
        run = Run(self, LINE_AND_KEYS)
        run.expect("type a line: ")
        # An arrow between the keys does nothing; DEL erases as Backspace does.
        run.type(b"\x186*7")
        run.type(b"\x1b[A")
        run.type(b"\x7f8\r")
        run.expect("value 48")
        run.expect("key: ")
        run.type(GATE)
        run.type(b"\x1b[15~")  # F5: dropped whole, never taken as ESC
        run.type(b"x")
        run.expect("got 120")
        run.expect(" 5 ")
        run.type(b"\x1b")
        self.assertEqual(run.wait(), 0)
        self.assertNotIn("END", text(run.output))
        run.assert_settings_restored()

    def test_space_pauses_until_the_next_key(self):
        run = Run(self, LINE_AND_KEYS)
        run.expect("type a line: ")
        run.type(b"\x181\r")
        run.expect("key: ")
        run.type(GATE + b"k")
        run.expect(" 3 ")
        run.type(b" ")
        run.still_waiting(0.5)
        paused = len(text(run.output))
        run.still_waiting(1.0)
        self.assertEqual(len(text(run.output)), paused, "output went on during the pause")
        run.type(b"\x1b")
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_ctrl_c_ends_the_run_as_for_every_console_program(self):
        run = Run(self, LINE_AND_KEYS)
        run.expect("type a line: ")
        run.type(b"\x1812")
        run.expect("type a line: 12")
        run.type(b"\x03")
        # Wine passes on the low byte of STATUS_CONTROL_C_EXIT.
        self.assertEqual(run.wait(), STATUS_CONTROL_C_EXIT & 0xFF)
        run.assert_settings_restored()

    def test_the_diagnostic_shows_as_text_where_the_console_has_no_colour(self):
        run = Run(self, "proc main() {\n  PrnStr_(\"x\");\n  totl = 1;\n}\n")
        self.assertEqual(run.wait(), 1)
        shown = text(run.output)
        self.assertIn("err at 3:totl = 1;", shown)
        self.assertIn("error: 'totl' is neither a variable nor a routine", shown)
        self.assertNotIn("[1;", shown)

    def test_a_windows_pipe_is_looked_into_and_its_end_stops_the_run(self):
        run = Run(self, PIPE_KEYS, piped=VORLA_PIPED)
        # The prompt shows before the read waits for the empty pipe.
        self.assertEqual(run.expect("? "), "? ")
        run.type(b"6*7\r\n")
        run.still_waiting()
        run.type(b"z\n")
        run.end_input()
        self.assertEqual(run.wait(), 0)
        self.assertEqual(run.output, BANNER.encode() + b"\n? 6*7\r\r\nchk 0 key 122 then 13\r\n")

    def test_a_pipe_that_cannot_be_looked_into_is_read_as_it_comes(self):
        run = Run(self, PIPE_KEYS, piped=VORLA)
        self.assertEqual(run.expect("? "), "? ")
        run.type(b"6*7\r\n")
        # Asking for a key waits for the next byte, as for a file; what the
        # script printed before shows meanwhile.
        self.assertEqual(run.expect("chk "), "chk ")
        run.still_waiting()
        run.type(b"z\n")
        run.end_input()
        self.assertEqual(run.wait(), 0)
        self.assertEqual(run.output, BANNER.encode() + b"\n? 6*7\r\r\nchk 1 key 122 then 13\r\n")

    def test_keys_that_cannot_be_read_end_the_run_with_the_reason(self):
        proc = subprocess.run([VORLA, "script.vl"], cwd=script_file(self, PIPE_KEYS), preexec_fn=lambda: os.close(0),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=TIMEOUT)
        self.assertEqual(proc.returncode, 1)
        self.assertEqual(proc.stdout, BANNER.encode() + b"\n? ")
        self.assertTrue(proc.stderr.startswith(b"vorla: cannot read keys: ") and proc.stderr.endswith(b"\n"),
                        proc.stderr)

    def test_a_closed_pipe_for_output_is_a_write_error(self):
        proc = subprocess.Popen([VORLA, "script.vl"], cwd=script_file(self, LOOP), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        proc.stdout.read(len(BANNER) + 10)
        proc.stdout.close()
        _, err = proc.communicate(timeout=TIMEOUT)
        self.assertEqual(proc.returncode, 1)
        self.assertTrue(err.startswith(b"vorla: write error: ") and err.endswith(b"\n"), err)


# The prompt, then a polling loop on an empty pipe: a Windows pipe answers 0
# until a byte comes; the LF after the line is one Enter with the CR before it.
PIPE_KEYS = """var k, n;
proc main() {
  PrnStr_("? ");
  k = Input_();
  PrnStr_("\\nchk ");
  PrnDec_(InpChk_());
  do n = InpChk_(); while (n = 0);
  PrnStr_(" key ");
  PrnDec_(InpChar_());
  PrnStr_(" then ");
  PrnDec_(InpChar_());
  PrnStr_("\\n");
  k = Input_();
  PrnStr_("not reached");
}
"""

LOOP = "var i;\nproc main() for (i = 0; i < 1000000000; i = i + 1) { PrnDec_(i); PrnStr_(\"\\n\"); }\n"


if __name__ == "__main__":
    VORLA, VORLA_PIPED = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
