#!/usr/bin/env python3
# End-to-end tests of the console: the real vorla binary on a pseudo-terminal,
# keys typed as a person would, terminal settings compared before and after;
# and with pipes, outputs that fail and a limited address space.
"""Usage: test_terminal.py PATH_TO_VORLA [unittest options]"""
import fcntl
import os
import resource
import select
import signal
import socket
import subprocess
import sys
import tempfile
import termios
import time
import unittest

VORLA = None
TIMEOUT = 20.0  # overall limit for any one wait on the program
BANNER = b"vorla Ver0.01a 2016/01/31 by quillmar\n"
BANNER_ON_TERMINAL = BANNER[:-1] + b"\r\n"  # the terminal turns LF into CR LF
ESC = b"\x1b"
SPECIAL_KEYS = [b"\x1b[A", b"\x1b[D", b"\x1bOP", b"\x1b[15~", b"\x1b[1;5C", b"\x1b[[A"]

LONG_LOOP = """var i;
proc main() {
  for (i = 0; i < 1000000000; i = i + 1) { PrnDec_(i); PrnStr_(" "); }
  PrnStr_("END");
}
"""

# Stands in for a job-control shell, so that Ctrl-Z really stops vorla: vorla
# runs in its own process group whose parent is in the same session, in the
# foreground, or with argv[2] "bg" in the background: then each time it stops,
# a byte on the file descriptor argv[3] brings it to the foreground and
# continues it. Reports "pid N", "stopped" and "exit N" lines on the file
# descriptor argv[1].
JOB_SHELL = r"""
import fcntl, os, signal, sys, termios
report, background, commands = int(sys.argv[1]), sys.argv[2] == "bg", int(sys.argv[3])
fcntl.ioctl(0, termios.TIOCSCTTY, 0)
ready_r, ready_w = os.pipe()
pid = os.fork()
if pid == 0:
    os.close(ready_w)
    os.setpgid(0, 0)
    os.read(ready_r, 1)  # not before its group is in place
    os.execv(sys.argv[4], sys.argv[4:])
try:
    os.setpgid(pid, pid)
except OSError:
    pass
signal.signal(signal.SIGTTOU, signal.SIG_IGN)
if not background:
    os.tcsetpgrp(0, pid)
os.write(ready_w, b"x")
os.write(report, b"pid %d\n" % pid)
while True:
    _, status = os.waitpid(pid, os.WUNTRACED)
    if os.WIFSTOPPED(status):
        os.write(report, b"stopped\n")
        if background and os.read(commands, 1):
            os.tcsetpgrp(0, pid)
            os.killpg(pid, signal.SIGCONT)
    else:
        os.write(report, b"exit %d\n" % os.waitstatus_to_exitcode(status))
        break
"""


def take_terminal():
    # Runs in the child after setsid: the pty becomes its controlling terminal,
    # so Ctrl-C and Ctrl-Z on it raise signals. No core files from SIGQUIT.
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def stty_all(fd):
    """What `stty -a` says of the terminal on `fd`."""
    return subprocess.run(["stty", "-a"], stdin=fd, capture_output=True, check=True, timeout=TIMEOUT).stdout


def is_raw(settings):
    iflag, oflag, _, lflag = settings[:4]
    return (not lflag & (termios.ECHO | termios.ICANON) and not iflag & termios.ICRNL
            and bool(lflag & termios.ISIG) and bool(oflag & termios.OPOST))


def script_file(test, script):
    """Writes `script` to a file that lasts as long as the test; answers its path."""
    folder = tempfile.TemporaryDirectory()
    test.addCleanup(folder.cleanup)
    path = os.path.join(folder.name, "script.vl")
    with open(path, "w") as f:
        f.write(script)
    return path


class Run:
    """One run of vorla on a fresh pty: standard input, output and error."""

    def __init__(self, test, script, job_control=False, background=False, path=None,
                 stdout=None, ahead=b"", env=None, preexec=None):
        """`background` runs it as a background job (job control implied);
        `path` replaces the script file; `stdout` replaces the terminal as
        standard output, and the banner is then not looked for; `ahead` is
        typed before the program starts; `env` replaces the environment;
        `preexec` runs in the child before vorla starts (not with job control)."""
        self.test = test
        if path is None:
            path = script_file(test, script)
        self.master, self.slave = os.openpty()
        test.addCleanup(os.close, self.master)
        test.addCleanup(os.close, self.slave)
        self.before = termios.tcgetattr(self.slave)
        self.before_stty = stty_all(self.slave)
        os.write(self.master, ahead)
        self.output = b""
        self.seen = 0  # output up to here has been matched
        self.report = None
        self.reported = b""
        self.pid = None
        args = [VORLA, path]
        pass_fds = ()
        job_control = job_control or background
        if job_control:
            self.report, report_w = os.pipe()
            commands_r, self.commands = os.pipe()
            test.addCleanup(os.close, self.report)
            test.addCleanup(os.close, self.commands)
            args = [sys.executable, "-c", JOB_SHELL, str(report_w), "bg" if background else "fg",
                    str(commands_r)] + args
            pass_fds = (report_w, commands_r)
        self.proc = subprocess.Popen(
            args, stdin=self.slave, stdout=self.slave if stdout is None else stdout,
            stderr=self.slave, start_new_session=True, pass_fds=pass_fds, env=env,
            preexec_fn=None if job_control else lambda: (take_terminal(), preexec and preexec()))
        test.addCleanup(self._kill)
        if job_control:
            os.close(report_w)
            os.close(commands_r)
            self.pid = int(self.report_line(b"pid ").split()[1])
        else:
            self.pid = self.proc.pid
        if stdout is None:
            self.expect(BANNER_ON_TERMINAL)

    def _kill(self):
        if self.proc.poll() is None:
            if self.pid not in (None, self.proc.pid):
                try:
                    os.kill(self.pid, signal.SIGKILL)  # vorla, in a process group of its own
                except ProcessLookupError:
                    pass
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()

    def _read(self, timeout):
        ready, _, _ = select.select([self.master], [], [], max(timeout, 0))
        if not ready:
            return False
        try:
            self.output += os.read(self.master, 65536)
        except OSError:
            return False
        return True

    def type(self, keys):
        os.write(self.master, keys)

    def settings(self):
        return termios.tcgetattr(self.slave)

    def expect(self, text, timeout=TIMEOUT):
        """Reads until `text` appears; answers the output from the last match up to it."""
        deadline = time.monotonic() + timeout
        while True:
            at = self.output.find(text, self.seen)
            if at >= 0:
                chunk = self.output[self.seen:at + len(text)]
                self.seen = at + len(text)
                return chunk
            ended = self.proc.poll() is not None
            if not self._read(0 if ended else deadline - time.monotonic()) and (
                    ended or time.monotonic() >= deadline):
                self.test.fail("waited for %r; output ends %r" % (text, self.output[-200:]))

    def expect_more(self, count):
        """Reads until `count` more bytes have come out, while the program runs."""
        target = len(self.output) + count
        deadline = time.monotonic() + TIMEOUT
        while len(self.output) < target:
            if self.proc.poll() is not None and not self._read(0):
                self.test.fail("program ended; output ends %r" % self.output[-200:])
            if time.monotonic() >= deadline:
                self.test.fail("output stopped; it ends %r" % self.output[-200:])
            self._read(deadline - time.monotonic())
        self.seen = len(self.output)

    def gate(self):
        """Passes the script's next Input_ gate; keys typed next reach the
        statement after it."""
        self.type(b"\x181\r")
        self.expect(b"1\r")

    def to_foreground(self):
        """Brings the stopped background job to the foreground and continues it."""
        os.write(self.commands, b"f")

    def wait_until_asleep(self):
        """Waits until every thread of the program sleeps, as it does once the
        terminal takes no more of its output. (Without /proc, a signal may come
        before the stall: the test is weaker then, never wrong.)"""
        tasks = "/proc/%d/task" % self.pid
        deadline = time.monotonic() + TIMEOUT
        while os.path.isdir(tasks):
            states = []
            for task in os.listdir(tasks):
                try:
                    with open(os.path.join(tasks, task, "stat")) as f:
                        states.append(f.read().rsplit(")", 1)[1].split()[0])
                except OSError:
                    pass
            if states and all(state in "SD" for state in states):
                return
            self.test.assertLess(time.monotonic(), deadline, "never stalled: %r" % states)
            time.sleep(0.01)

    def report_line(self, start):
        deadline = time.monotonic() + TIMEOUT
        while b"\n" not in self.reported:
            ready, _, _ = select.select([self.report], [], [], deadline - time.monotonic())
            if not ready:
                self.test.fail("no report line %r" % start)
            self.reported += os.read(self.report, 1024)
        line, self.reported = self.reported.split(b"\n", 1)
        self.test.assertTrue(line.startswith(start), line)
        return line

    def wait(self):
        """Waits for the end, reading all output; answers the exit status
        (minus the signal number when a signal ended it)."""
        deadline = time.monotonic() + TIMEOUT
        while self.proc.poll() is None:
            if time.monotonic() >= deadline:
                self.test.fail("still running; output ends %r" % self.output[-200:])
            self._read(0.05)
        while self._read(0):
            pass
        if self.report is not None:
            return int(self.report_line(b"exit ").split()[1])
        return self.proc.returncode

    def rest(self):
        return self.output[self.seen:]

    def assert_settings_restored(self):
        self.test.assertEqual(self.settings(), self.before)
        self.test.assertEqual(stty_all(self.slave), self.before_stty)


# Timing: after every text the interpreter polls the keyboard once and loses
# a waiting key that is neither space nor ESC. That poll may still be to come
# when the text is seen, so keys typed in answer to a text either start with a
# harmless Ctrl-X (erases nothing in an empty line, or is the key lost), or
# follow a gate: an Input_ with no text after it, passed with Run.gate().
GATE = "g = Input_();"


class KeysFromTheTerminal(unittest.TestCase):
    def test_line_editor_echo_is_the_programs_own_and_enter_reads_as_13(self):
        run = Run(self, """proc main() {
  PrnStr_("Type a number: ");
  PrnDec_(Input_() * 2);
  PrnStr_("\\n");
}
""")
        run.expect(b"Type a number: ")  # the prompt shows before any key
        self.assertTrue(is_raw(run.settings()), run.settings())
        for keys in (b"\x186", b"*", b"8"):
            run.type(keys)
            self.assertEqual(run.expect(keys[-1:]), keys[-1:])
        run.type(b"\x08")
        self.assertEqual(run.expect(b"\x08 \x08"), b"\x08 \x08")
        run.type(b"7")
        run.expect(b"7")
        run.type(b"\r")
        self.assertEqual(run.expect(b"84"), b"\r84")
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_backspace_key_erases_as_ctrl_h_does(self):
        run = Run(self, """proc main() {
  PrnStr_("? ");
  PrnDec_(Input_());
}
""")
        run.expect(b"? ")
        run.type(b"\x1812")
        run.expect(b"12")
        run.type(b"\x7f")  # what most terminals send for Backspace
        self.assertEqual(run.expect(b"\x08 \x08"), b"\x08 \x08")
        run.type(b"3\r")
        self.assertEqual(run.expect(b"13"), b"3\r13")
        self.assertEqual(run.wait(), 0)

    def test_each_prompt_shows_before_its_input(self):
        run = Run(self, """proc main() {
  PrnStr_("first? ");
  PrnDec_(Input_());
  PrnStr_(" second? ");
  PrnDec_(Input_());
}
""")
        run.expect(b"first? ")
        run.type(b"\x185\r")
        run.expect(b"5\r5 second? ")
        run.type(b"\x1812\r")
        run.expect(b"12\r12")
        self.assertEqual(run.wait(), 0)

    def test_special_keys_never_reach_the_script_and_lone_esc_is_27(self):
        run = Run(self, """var c;
var g;
proc main() {
  c = InpChar_();
  PrnStr_("=");
  PrnDec_(c);
  PrnStr_(";");
  """ + GATE + """
  c = InpChar_();
  PrnStr_("=");
  PrnDec_(c);
  PrnStr_(";");
}
""")
        run.type(b"".join(SPECIAL_KEYS) + b"k")
        run.expect(b"=107;")
        run.gate()
        run.type(ESC)
        run.expect(b"=27;")
        self.assertEqual(run.wait(), 0)

    def test_key_waiting_after_a_dropped_escape_sequence(self):
        script = """var c;
var w;
var g;
proc main() {
  c = InpChar_();
  w = InpChk_();
  c = InpChar_();
  PrnStr_("w=");
  PrnDec_(w);
  PrnStr_(" c=");
  PrnDec_(c);
}
"""
        # The key after the sequence is waiting and is not lost to the look.
        run = Run(self, script)
        run.type(b"a\x1b[Az")
        run.expect(b"w=1 c=122")
        self.assertEqual(run.wait(), 0)
        # Nothing after the sequence: no key waiting, and the next is read.
        run = Run(self, script.replace("w = InpChk_();", "w = InpChk_();\n  PrnStr_(\"?\");\n  " + GATE))
        run.type(b"a\x1b[A")
        run.expect(b"?")
        run.gate()
        run.type(b"y")
        run.expect(b"w=0 c=121")
        self.assertEqual(run.wait(), 0)

    def test_keys_typed_ahead_of_the_first_output_are_kept(self):
        run = Run(self, """var c;
proc main() {
  c = InpChar_();
  PrnStr_("got ");
  PrnDec_(c);
}
""")
        run.type(b"q")
        run.expect(b"got 113")
        self.assertEqual(run.wait(), 0)


class PauseAndStopAtOutput(unittest.TestCase):
    # Typed ahead, "a " leaves a space waiting at the text's poll.
    PAUSE = """var c;
proc main() {
  c = InpChar_();
  PrnStr_("[paused]");
  c = InpChar_();
  PrnStr_("[after]");
  PrnDec_(c);
}
"""

    def test_space_pauses_until_the_next_key(self):
        run = Run(self, self.PAUSE)
        run.type(b"a ")
        run.expect(b"[paused]")
        run.type(b"b")  # ends the pause, so the script's own key is the next one
        run.type(b"c")
        run.expect(b"[after]99")
        self.assertEqual(run.wait(), 0)

    def test_esc_during_a_pause_stops_silently(self):
        run = Run(self, self.PAUSE)
        run.type(b"a ")
        run.expect(b"[paused]")
        run.type(ESC)
        self.assertEqual(run.wait(), 0)
        self.assertEqual(run.rest(), b"\r\n")  # no report; only the open line is ended
        run.assert_settings_restored()

    def test_esc_during_output_stops_silently(self):
        run = Run(self, LONG_LOOP)
        run.expect(b" 100 ")
        run.type(ESC)
        self.assertEqual(run.wait(), 0)
        self.assertNotIn(b"END", run.output)
        self.assertNotIn(b"err", run.output)
        run.assert_settings_restored()

    def test_special_keys_during_output_do_not_stop_it(self):
        run = Run(self, LONG_LOOP)
        run.expect(b" 100 ")
        for key in SPECIAL_KEYS:
            run.type(key)
            run.expect_more(4000)
        run.type(ESC)
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()


class SettingsRestoredOnEveryWayOut(unittest.TestCase):
    def test_normal_end(self):
        run = Run(self, 'proc main() {\n  PrnStr_("done");\n}\n')
        run.expect(b"done")
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_error_report(self):
        run = Run(self, 'proc main() {\n  PrnStr_("start");\n  x = 1;\n}\n')
        run.expect(b"start")
        self.assertEqual(run.wait(), 1)
        self.assertIn(b"err at", run.rest())
        run.assert_settings_restored()

    def test_missing_main(self):
        run = Run(self, "proc other() {\n}\n")
        self.assertEqual(run.wait(), 1)
        self.assertIn(b"main() ?", run.rest())
        run.assert_settings_restored()

    def test_interrupt_keys_while_running_and_while_waiting(self):
        waiting = 'proc main() {\n  PrnStr_("number? ");\n  PrnDec_(Input_());\n}\n'
        cases = [(LONG_LOOP, b" 100 ", b"\x03", signal.SIGINT),
                 (waiting, b"number? ", b"\x03", signal.SIGINT),
                 (waiting, b"number? ", b"\x1c", signal.SIGQUIT)]
        for script, cue, key, sig in cases:
            with self.subTest(key=key, cue=cue):
                run = Run(self, script)
                run.expect(cue)
                run.type(key)
                self.assertEqual(run.wait(), -sig)
                run.assert_settings_restored()

    def test_termination_signals(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGABRT):
            with self.subTest(signal=sig):
                run = Run(self, LONG_LOOP)
                run.expect(b" 100 ")
                os.kill(run.pid, sig)
                self.assertEqual(run.wait(), -sig)
                run.assert_settings_restored()

    def test_every_signal_that_ends_a_program_ends_vorla_after_the_settings(self):
        # Signals vorla has no use for, while it waits for a key and while it
        # prints: each ends it as it would end any program.
        waiting = 'var c;\nproc main() {\n  PrnStr_("key? ");\n  c = InpChar_();\n}\n'
        cases = [(waiting, b"key? ", signal.SIGUSR1), (waiting, b"key? ", signal.SIGALRM),
                 (LONG_LOOP, b" 100 ", signal.SIGRTMIN + 3), (LONG_LOOP, b" 100 ", signal.SIGRTMAX),
                 (LONG_LOOP, b" 100 ", signal.SIGSYS)]
        for script, cue, sig in cases:
            with self.subTest(signal=sig):
                run = Run(self, script)
                run.expect(cue)
                self.assertTrue(is_raw(run.settings()))
                os.kill(run.pid, sig)
                self.assertEqual(run.wait(), -sig)
                run.assert_settings_restored()

    def test_a_file_size_limit_reached_by_the_output(self):
        # As in `(ulimit -f 100; vorla big.vl > out)` typed at a terminal.
        limit = 100 << 10
        with tempfile.TemporaryFile() as out:
            run = Run(self, LONG_LOOP, stdout=out,
                      preexec=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
            self.assertEqual(run.wait(), -signal.SIGXFSZ)
            self.assertEqual(os.fstat(out.fileno()).st_size, limit)
        run.assert_settings_restored()

    def test_signals_that_end_no_program_leave_the_run_raw(self):
        # Ignored by default, or by the parent's choice (SIGUSR2 here), while
        # the line editor waits for a key.
        run = Run(self, """var c, g;
proc main() {
  PrnStr_("key? ");
  """ + GATE + """
  c = InpChar_();
  PrnDec_(c);
}
""", preexec=lambda: signal.signal(signal.SIGUSR2, signal.SIG_IGN))
        run.expect(b"key? ")
        raw = run.settings()
        for sig in (signal.SIGWINCH, signal.SIGCHLD, signal.SIGURG, signal.SIGUSR2):
            os.kill(run.pid, sig)
        run.gate()  # each signal is taken before these keys are read
        self.assertEqual(run.settings(), raw)
        run.type(b"k")
        run.expect(b"107")
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_ctrl_z_gives_the_settings_back_until_continued(self):
        run = Run(self, """var c;
proc main() {
  PrnStr_("ready");
  c = InpChar_();
  PrnDec_(c);
}
""", job_control=True)
        run.expect(b"ready")
        raw = run.settings()
        self.assertTrue(is_raw(raw))
        run.type(b"\x1a")
        run.report_line(b"stopped")
        run.assert_settings_restored()
        os.kill(run.pid, signal.SIGCONT)
        deadline = time.monotonic() + TIMEOUT
        while run.settings() != raw:  # raw again once it has continued
            self.assertLess(time.monotonic(), deadline, "not raw again")
            time.sleep(0.01)
        run.type(b"k")
        self.assertEqual(run.expect(b"107"), b"107")  # no echo from the terminal
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_signals_act_at_once_while_the_terminal_takes_no_output(self):
        for sig in (signal.SIGTERM, signal.SIGTSTP):
            with self.subTest(signal=sig):
                run = Run(self, LONG_LOOP, job_control=sig == signal.SIGTSTP)
                run.expect(b" 100 ")
                termios.tcflow(run.slave, termios.TCOOFF)  # as Ctrl-S would
                run.wait_until_asleep()
                os.kill(run.pid, sig)
                if sig == signal.SIGTSTP:
                    run.report_line(b"stopped")
                else:
                    self.assertEqual(run.wait(), -sig)
                run.assert_settings_restored()

    def test_closed_output_pipe_ends_the_run_by_sigpipe_after_the_settings(self):
        run = Run(self, LONG_LOOP, stdout=subprocess.PIPE)
        self.assertEqual(run.proc.stdout.read(len(BANNER)), BANNER)
        self.assertTrue(is_raw(run.settings()))
        run.proc.stdout.close()
        self.assertEqual(run.wait(), -signal.SIGPIPE)
        run.assert_settings_restored()


class TheLastLineAndTheDiagnostic(unittest.TestCase):
    FAILING = 'proc main() {\n  PrnStr_("start");\n  x = 1;\n}\n'

    def test_the_report_ends_its_line_before_the_coloured_diagnostic(self):
        # NO_COLOR set but empty asks for nothing.
        run = Run(self, self.FAILING, env=dict(os.environ, TERM="xterm", NO_COLOR=""))
        self.assertEqual(run.wait(), 1)
        # The report's own CR, then the line end vorla adds, then standard error.
        report, diagnostic = run.rest().split(b"\r\r\n", 1)
        self.assertEqual(report, b"start\r\nerr at 3:x = 1;")
        self.assertRegex(diagnostic, rb"^vorla: [^\r]*script\.vl:3:3: \x1b\[1;31merror\x1b\[0m: 'x' is neither "
                                     rb"a variable nor a routine\r\n    3 \|   x = 1;\r\n      \|   \x1b\[1;32m\^\x1b\[0m\r\n"
                                     rb"\x1b\[1;36mnote\x1b\[0m: declare it with 'var x;'\r\n$")

    def test_no_colour_when_asked_for_none_or_for_a_terminal_without_it(self):
        plain = {k: v for k, v in os.environ.items() if k not in ("TERM", "NO_COLOR")}
        for env in (dict(plain, TERM="xterm", NO_COLOR="1"), dict(plain, TERM="dumb"), plain):
            run = Run(self, self.FAILING, env=env)
            self.assertEqual(run.wait(), 1)
            self.assertNotIn(b"\x1b", run.rest())
            self.assertIn(b": error: 'x' is neither a variable nor a routine\r\n", run.rest())

    def test_a_line_already_ended_gets_nothing_more(self):
        run = Run(self, 'proc main() PrnStr_("done\\n");\n')
        self.assertEqual(run.wait(), 0)
        self.assertEqual(run.rest(), b"done\r\r\n")  # "\n" prints CR LF; the terminal makes the LF CR LF

    def test_a_pipe_gets_the_bytes_unchanged(self):
        with tempfile.TemporaryFile() as out:
            run = Run(self, self.FAILING, stdout=out, env=dict(os.environ, NO_COLOR="1"))
            self.assertEqual(run.wait(), 1)
            out.seek(0)
            self.assertEqual(out.read(), BANNER + b"start\nerr at 3:x = 1;\r")
        self.assertIn(b": error: 'x' is neither a variable nor a routine", run.rest())


    def test_errors_sent_where_the_output_goes_start_a_line_of_their_own(self):
        path = script_file(self, self.FAILING)
        for joined in (True, False):
            done = subprocess.run([VORLA, path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT if joined else subprocess.PIPE, timeout=TIMEOUT)
            report = BANNER + b"start\nerr at 3:x = 1;\r"
            if joined:  # the output's bytes, then a line end before standard error
                self.assertTrue(done.stdout.startswith(report + b"\nvorla: "), done.stdout)
            else:
                self.assertEqual(done.stdout, report)


class TheTerminalOnlyWhenNeeded(unittest.TestCase):
    def test_the_script_is_loaded_before_the_terminal_goes_raw(self):
        run = Run(self, None, path="/dev/tty")
        script = b'proc main() PrnStr_("ran");\n'
        run.type(script + b"\x04")  # read as typed into any program: echoed, Ctrl-D ends it
        run.expect(script.replace(b"\n", b"\r\n"))
        run.expect(b"ran")
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()

    def test_a_background_job_leaves_the_terminal_alone_until_brought_forward(self):
        run = Run(self, """var c;
var g;
proc main() {
  PrnStr_("bg ");
  PrnDec_(InpChk_());
  c = InpChar_();
  PrnStr_(" fg ");
  PrnDec_(c);
  """ + GATE + """
  c = InpChar_();
  PrnStr_(" ");
  PrnDec_(c);
}
""", background=True, ahead=b"k")  # waiting in the terminal, but not for a background job
        run.expect(b"bg 0")
        run.report_line(b"stopped")  # by its key read, as any program
        run.assert_settings_restored()
        run.to_foreground()
        run.expect(b" fg 107")
        self.assertTrue(is_raw(run.settings()))
        run.gate()
        run.type(b"z")
        self.assertEqual(run.expect(b"122"), b" 122")  # no echo from the terminal
        self.assertEqual(run.wait(), 0)
        run.assert_settings_restored()


class KeysFromAPipe(unittest.TestCase):
    def run_piped(self, script, keys):
        done = subprocess.run([VORLA, script_file(self, script)], input=keys, capture_output=True,
                              timeout=TIMEOUT)
        return done.returncode, done.stdout

    def test_lf_and_cr_lf_each_end_one_line(self):
        script = 'proc main() {\n  PrnDec_(Input_() + Input_());\n}\n'
        for keys in (b"6*7\n5\n", b"6*7\r\n5\r\n", b"6*7\r5\r"):
            with self.subTest(keys=keys):
                status, out = self.run_piped(script, keys)
                self.assertEqual(status, 0)
                self.assertTrue(out.endswith(b"47"), out)

    def test_outputs_leave_piped_keys_alone(self):
        script = """var c;
proc main() {
  PrnStr_(" ");
  PrnStr_("x");
  c = InpChar_();
  PrnDec_(c);
  c = InpChar_();
  PrnDec_(c);
}
"""
        status, out = self.run_piped(script, b"\x1b ")
        self.assertEqual(status, 0)
        self.assertTrue(out.endswith(b" x2732"), out)

    def test_keys_at_hand_are_read_without_a_write_each(self):
        # Every write(2) arrives as one message on a SOCK_SEQPACKET socket.
        script = """var c;
proc main() {
  PrnStr_("? ");
  PrnDec_(Input_());
  for (c = InpChar_(); c <> '.'; c = InpChar_()) PrnChar_(c);
}
"""
        ours, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        self.addCleanup(ours.close)
        keys_r, keys_w = os.pipe()
        proc = subprocess.Popen([VORLA, script_file(self, script)], stdin=keys_r, stdout=theirs)
        theirs.close()
        os.close(keys_r)
        ours.settimeout(TIMEOUT)
        # The read waits for an empty pipe: what it answers is written first.
        self.assertEqual(ours.recv(1 << 17), BANNER + b"? ")
        os.write(keys_w, b"5\n" + b"x" * 1000 + b".")
        os.close(keys_w)
        writes = list(iter(lambda: ours.recv(1 << 17), b""))
        self.assertEqual(proc.wait(timeout=TIMEOUT), 0)
        self.assertEqual(writes, [b"5\r5" + b"x" * 1000])


class OutputThatCannotBeWritten(unittest.TestCase):
    def test_a_closed_pipe_ends_the_run_by_sigpipe(self):
        path = script_file(self, LONG_LOOP)
        for ignored in (False, True):
            with self.subTest(sigpipe_ignored=ignored):
                proc = subprocess.Popen(
                    [VORLA, path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                    stderr=subprocess.PIPE,
                    preexec_fn=(lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignored else None)
                self.assertEqual(proc.stdout.read(len(BANNER)), BANNER)
                proc.stdout.close()
                self.assertEqual(proc.wait(timeout=TIMEOUT), 1 if ignored else -signal.SIGPIPE)
                # Ignored, SIGPIPE leaves a failed write like any other.
                self.assertEqual(proc.stderr.read(), b"vorla: write error: Broken pipe\n" if ignored else b"")
                proc.stderr.close()

    def test_a_failed_write_ends_the_run_with_status_1(self):
        cases = [("a full disk, at the first write", LONG_LOOP, "/dev/full", None,
                  b"No space left on device"),
                 ("a full disk, at the last write", 'proc main() PrnStr_("hi");\n', "/dev/full", None,
                  b"No space left on device"),
                 ("a closed descriptor", LONG_LOOP, None, lambda: os.close(1), b"Bad file descriptor")]
        for name, script, target, preexec_fn, reason in cases:
            with self.subTest(name):
                with open(target or os.devnull, "wb") as out:
                    done = subprocess.run([VORLA, script_file(self, script)], stdin=subprocess.DEVNULL,
                                          stdout=out, stderr=subprocess.PIPE, preexec_fn=preexec_fn,
                                          timeout=TIMEOUT)
                self.assertEqual((done.returncode, done.stderr),
                                 (1, b"vorla: write error: " + reason + b"\n"))


class KeysThatCannotBeRead(unittest.TestCase):
    # Each way of reading keys, then a read that fails: the run ends there.
    READERS = [('proc main() {\n  PrnStr_("? ");\n  PrnDec_(Input_());\n}\n', b"? "),
               ('var c;\nproc main() {\n  PrnStr_("? ");\n  c = InpChar_();\n  PrnStr_("no");\n}\n', b"? "),
               ('proc main() {\n  PrnStr_("? ");\n  PrnDec_(InpChk_());\n}\n', b"? ")]

    def run_with_input(self, script, stdin, preexec_fn=None):
        done = subprocess.run([VORLA, script_file(self, script)], stdin=stdin, capture_output=True,
                              preexec_fn=preexec_fn, timeout=TIMEOUT)
        return done.returncode, done.stdout, done.stderr

    def inputs(self):
        """(name, stdin, preexec_fn, reason) of each unreadable standard input."""
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        directory = os.open(folder.name, os.O_RDONLY)
        self.addCleanup(os.close, directory)
        write_only = os.open(os.path.join(folder.name, "x"), os.O_WRONLY | os.O_CREAT)
        self.addCleanup(os.close, write_only)
        return [("a directory", directory, None, b"Is a directory"),
                ("a closed descriptor", subprocess.DEVNULL, lambda: os.close(0), b"Bad file descriptor"),
                ("a descriptor open for writing only", write_only, None, b"Bad file descriptor")]

    def test_a_failed_read_ends_the_run_with_status_1_and_the_reason(self):
        for name, stdin, preexec_fn, reason in self.inputs():
            for script, prompt in self.READERS:
                with self.subTest(name, script=script):
                    self.assertEqual(self.run_with_input(script, stdin, preexec_fn),
                                     (1, BANNER + prompt, b"vorla: cannot read keys: " + reason + b"\n"))

    def test_a_script_that_reads_no_key_is_not_affected(self):
        for name, stdin, preexec_fn, _ in self.inputs():
            with self.subTest(name):
                self.assertEqual(self.run_with_input('proc main() PrnDec_(6 * 7);\n', stdin, preexec_fn),
                                 (0, BANNER + b"42", b""))


class TheInterpreterStack(unittest.TestCase):
    # Recursion through 300 nested prefix operators, until the nesting limit.
    DEEP = "func f() return = " + "-" * 300 + "f();\nproc main() PrnDec_(f());\n"

    def run_limited(self, kib):
        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (kib << 10, kib << 10))
        done = subprocess.run([VORLA, script_file(self, self.DEEP)], stdin=subprocess.DEVNULL,
                              capture_output=True, preexec_fn=limit, timeout=TIMEOUT)
        if b"Sanitizer" in done.stderr:
            self.skipTest("the sanitizers' runtime cannot start with its memory limited")
        return done

    def test_the_deepest_nesting_runs_under_ulimit_v_262144(self):
        done = self.run_limited(262144)
        self.assertEqual((done.returncode, done.stdout), (1, BANNER + b"\nerr at 1:;\r"))
        self.assertIn(b"note: the first fault: nesting too deep: more than 20000 levels", done.stderr)

    def test_without_room_for_the_stack_nothing_runs(self):
        done = self.run_limited(32768)
        self.assertEqual((done.returncode, done.stdout), (1, BANNER))
        self.assertRegex(done.stderr, rb"^vorla: cannot get a \d+ MiB stack for the interpreter: [^\n]+\n$")


class RunAsACommand(unittest.TestCase):
    def test_script_runs_through_its_first_line(self):
        # "#!/usr/bin/env vorla" is a comment to vorla and a command to the system;
        # with "-S vorla -q" the command's output is the script's alone.
        for first_line, banner in (("#!/usr/bin/env vorla", BANNER), ("#!/usr/bin/env -S vorla -q", b"")):
            with tempfile.TemporaryDirectory() as folder:
                path = os.path.join(folder, "hello")
                with open(path, "w") as f:
                    f.write(first_line + '\nproc main() PrnStr_("hi");\n')
                os.chmod(path, 0o755)
                path_var = os.path.dirname(VORLA) + os.pathsep + os.environ.get("PATH", "")
                done = subprocess.run([path], env=dict(os.environ, PATH=path_var),
                                      stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)
            self.assertEqual((done.returncode, done.stdout), (0, banner + b"hi"))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    VORLA = os.path.abspath(sys.argv.pop(1))
    unittest.main()
