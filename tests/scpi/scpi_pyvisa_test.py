#!/usr/bin/python3
"""The SCPI server driven the way a lab script drives a bench load: PyVISA with
its pure-Python backend, against the simulator.

    scpi_pyvisa_test.py --cli PATH --sim PATH [--window PATH] [unittest args]

`--cli` and `--sim` run `usb-tester-cli --device socket:… serve` against
`usb-tester-sim` (whose faults the tests switch through its standard input);
`--window` also drives `usb-tester --simulate --scpi` while the window polls.
Every server listens on a free port of 127.0.0.1, so runs can overlap.
"""
import argparse
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import warnings

import pyvisa

# pyvisa-py's VXI-11 part, unused here, imports xdrlib, which Python 3.11 frowns upon.
with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import pyvisa_py.highlevel  # noqa: F401

PATHS = {}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def visa(port, timeout_ms=4000):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                            read_termination="\n", write_termination="\n")
    inst.timeout = timeout_ms
    return inst


def raw(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    return s


def read_line(s, timeout=5.0):
    """One answer line from a raw socket, without its newline."""
    s.settimeout(timeout)
    data = b""
    while not data.endswith(b"\n"):
        chunk = s.recv(4096)
        if not chunk:
            raise EOFError("the server closed the connection")
        data += chunk
    return data[:-1].decode()


def closed_by_server(s, timeout=5.0):
    """True once the server has closed the socket (end of file or reset)."""
    s.settimeout(timeout)
    try:
        while True:
            if not s.recv(65536):
                return True
    except (ConnectionResetError, BrokenPipeError):
        return True
    except socket.timeout:
        return False


def errors(inst):
    """Every entry of the error queue, oldest first, as (code, text)."""
    out = []
    for _ in range(30):
        code, text = inst.query("SYST:ERR?").split(",", 1)
        if int(code) == 0:
            return out
        out.append((int(code), text))
    raise AssertionError("the error queue never empties")


def codes(inst):
    return [c for c, _ in errors(inst)]


def wait_until(predicate, timeout=10.0, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return False


class Simulator:
    """usb-tester-sim on a private socket; its faults are lines on its stdin."""

    def __init__(self, setup=None, speed="1"):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "load.sock")
        args = [PATHS["sim"], "--listen", self.path, "--speed", speed]
        if setup:
            args.append(setup)
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE,
                                     stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        if not wait_until(lambda: os.path.exists(self.path), 5, 0.01):
            raise RuntimeError("the simulator did not start")

    def command(self, line):
        self.proc.stdin.write(line.encode() + b"\n")
        self.proc.stdin.flush()

    def stop(self):
        try:
            self.command("quit")
            self.proc.stdin.close()
            self.proc.wait(5)
        except Exception:
            self.proc.kill()
            self.proc.wait()
        self.dir.cleanup()


class Server:
    """usb-tester-cli serve on a free port; the port comes from its first line."""

    def __init__(self, device_args, timeout="1", listen="127.0.0.1:0"):
        self.proc = subprocess.Popen(
            [PATHS["cli"]] + device_args +
            ["--timeout", timeout, "serve", "--listen", listen],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.proc.stdout], [], [], 15)
        line = self.proc.stdout.readline().decode() if ready else ""
        m = re.search(r"listening on [^ ]*:(\d+)$", line.strip())
        if not m:
            self.proc.kill()
            raise RuntimeError("serve did not start: %r %r" %
                               (line, self.proc.stderr.read().decode()))
        self.port = int(m.group(1))

    def stop(self):
        self.proc.terminate()  # SIGTERM ends serve like Ctrl-C
        try:
            _, err = self.proc.communicate(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            _, err = self.proc.communicate()
        return self.proc.returncode, err.decode()


class LoadTests(unittest.TestCase):
    """An electronic load behind usb-tester-cli serve."""

    @classmethod
    def setUpClass(cls):
        cls.sim = Simulator(speed="60")
        cls.server = Server(["--device", "socket:" + cls.sim.path])
        cls.port = cls.server.port

    @classmethod
    def tearDownClass(cls):
        code, err = cls.server.stop()
        cls.sim.stop()
        assert code == 0, (code, err)

    def setUp(self):
        self.inst = visa(self.port)
        self.inst.write("*CLS")

    def tearDown(self):
        self.inst.write("INP OFF")
        self.inst.close()

    def test_identity(self):
        maker, model, serial, version = self.inst.query("*IDN?").split(",")
        self.assertEqual(maker, "USB Tester Simulator")
        self.assertEqual(model, "KV37")
        self.assertEqual(serial, "4B56333730303031")
        self.assertEqual(version, "V1.0.0")
        self.assertEqual(self.inst.query("*idn?").split(",")[1], "KV37")
        self.assertEqual(self.inst.query("SYST:VERS?"), "1999.0")
        self.assertEqual(self.inst.query(":system:version?"), "1999.0")
        self.assertEqual(self.inst.query("*OPC?"), "1")
        self.assertEqual(codes(self.inst), [])

    def test_short_long_and_optional_forms(self):
        for q in ["MEAS:VOLT?", "MEASure:VOLTage?", "measure:scalar:voltage:dc?",
                  "MEAS:SCAL:VOLT:DC?", ":MEAS:VOLT?"]:
            v = float(self.inst.query(q))
            self.assertTrue(2.5 < v < 4.5, (q, v))
        self.inst.write("FUNC CURR")
        self.inst.write("SOURce:CURRent:LEVel 1.25")
        self.assertEqual(float(self.inst.query("CURR?")), 1.25)
        self.inst.write("curr 750 mA")
        self.assertEqual(float(self.inst.query("SOUR:CURR:LEV?")), 0.75)
        # Several commands on a line, the later ones under the first one's path.
        v, i, p = self.inst.query("MEAS:VOLT?;CURR?;POW?").split(";")
        self.assertTrue(2.5 < float(v) < 4.5)
        self.assertEqual(self.inst.query("FUNC CURR;:FUNC?;CURR?"), "CURR;0.75")
        self.assertEqual(codes(self.inst), [])

    def test_cc_discharge_started_measured_and_stopped(self):
        inst = self.inst
        inst.write("FUNC CURR")
        inst.write("CURR 1.5")
        inst.write("VOLT:CUT 3.0")
        self.assertEqual(inst.query("FUNC?"), "CURR")
        self.assertEqual(float(inst.query("CURR?")), 1.5)
        self.assertAlmostEqual(float(inst.query("VOLT:CUT?")), 3.0, places=4)
        self.assertEqual(inst.query("INP?"), "0")
        self.assertAlmostEqual(float(inst.query("MEAS:CURR?")), 0.0, delta=0.05)

        inst.write("INP ON")
        self.assertEqual(inst.query("INP?"), "1")
        volts = float(inst.query("MEAS:VOLT?"))
        amps = float(inst.query("MEAS:CURR?"))
        watts = float(inst.query("MEAS:POW?"))
        self.assertAlmostEqual(amps, 1.5, delta=0.05)
        self.assertTrue(3.0 < volts < 4.3, volts)
        self.assertAlmostEqual(watts, volts * amps, delta=0.2)
        self.assertAlmostEqual(float(inst.query("MEAS:RES?")), volts / amps, delta=0.3)
        temp = float(inst.query("MEAS:TEMP?"))
        self.assertTrue(-20 < temp < 150, temp)
        for sensor in ["NTC", "MOS", "CPU"]:
            self.assertTrue(-20 < float(inst.query("MEAS:TEMP? " + sensor)) < 150)
        cap1 = float(inst.query("FETC:CAP?"))
        time.sleep(1.0)  # a minute on the simulator's clock
        cap2 = float(inst.query("FETC:CAP?"))
        self.assertGreater(cap2, cap1)
        self.assertGreater(float(inst.query("FETC:ENER?")), 0)
        values = [float(x) for x in inst.query("MEAS:ALL?").split(",")]
        self.assertEqual(len(values), 10)
        self.assertAlmostEqual(values[1], 1.5, delta=0.05)
        self.assertGreaterEqual(values[5], cap2)

        inst.write("INP OFF")
        self.assertEqual(inst.query("INP?"), "0")
        self.assertAlmostEqual(float(inst.query("MEAS:CURR?")), 0.0, delta=0.05)
        self.assertEqual(codes(inst), [])

    def test_every_error_code(self):
        inst = self.inst
        inst.write("FUNC CURR")
        cases = [
            ("MEAS:VOLT? 1.2.3", -102),
            ("CURR #H1F", -102),
            ("\"unterminated", -102),
            ("FOO:BAR", -113),
            ("MEAS:VOLTAGES?", -113),
            ("*IDN", -100),          # a query used as a setting
            ("INP MAYBE", -100),
            ("CURR 1.5 V", -100),     # amperes, not volts
            ("CURR", -100),
            ("CURR -1", -222),
            ("CURR 1e9", -222),
            ("VOLT 5", -221),         # the function is CURR
        ]
        for line, code in cases:
            inst.write(line)
            found = codes(inst)
            self.assertEqual(found, [code], line)
        # Event status bits by class: command errors 32, execution errors 16.
        inst.write("FOO")
        self.assertEqual(int(inst.query("*ESR?")) & 0x20, 0x20)
        self.assertEqual(int(inst.query("*ESR?")), 0)  # reading clears it
        inst.write("CURR -1")
        self.assertEqual(int(inst.query("*ESR?")) & 0x10, 0x10)
        inst.write("*CLS")
        # A query in error gives no answer; the line goes on.
        self.assertEqual(inst.query("FOO?;*OPC?"), "1")
        # The queue keeps 20 entries; the newest becomes -350.
        for _ in range(25):
            inst.write("FOO")
        self.assertEqual(int(inst.query("SYST:ERR:COUN?")), 20)
        found = codes(inst)
        self.assertEqual(found[:19], [-113] * 19)
        self.assertEqual(found[19], -350)
        inst.write("FOO;*CLS")
        self.assertEqual(codes(inst), [])

    def test_hardware_error_and_missing(self):
        inst = self.inst
        self.assertEqual(inst.query("FUNC CURR;*OPC?"), "1")
        # The instrument stops answering: the setting is not confirmed (-240).
        self.sim.command("drop -1")
        try:
            inst.write("CURR 1.25")
            self.assertEqual(codes(inst), [-240])
            inst.query("MEAS:VOLT?;*OPC?")
            self.assertEqual(codes(inst), [-240])
        finally:
            self.sim.command("drop 0")
        # Answering again, it is confirmed at once (nothing of the lost answers lingers).
        inst.write("CURR 1.5")
        self.assertEqual(codes(inst), [])
        self.assertEqual(float(inst.query("CURR?")), 1.5)

        # Unplugged: every instrument command gives -241, the server stays.
        self.sim.command("unplug")
        try:
            def missing():
                inst.write("*CLS")
                return inst.query("MEAS:VOLT?;*OPC?") == "1" and codes(inst) == [-241]
            self.assertTrue(wait_until(missing, 10),
                            "no -241 with the instrument unplugged")
            inst.write("CURR 1")
            inst.write("*IDN?")
            self.assertEqual(codes(inst), [-241, -241])
            self.assertEqual(inst.query("SYST:VERS?"), "1999.0")
        finally:
            self.sim.command("replug")
        self.assertTrue(wait_until(
            lambda: inst.query("*IDN?;*OPC?").startswith("USB Tester Simulator"), 15))
        inst.write("*CLS")
        self.assertTrue(3.0 < float(inst.query("MEAS:VOLT?")) < 4.5)

    def test_two_clients_at_once(self):
        a = self.inst
        b = visa(self.port)
        try:
            a.write("FUNC CURR;CURR 1")
            results = {"a": [], "b": []}

            def run_a():
                for _ in range(15):
                    results["a"].append(float(a.query("MEAS:VOLT?")))

            def run_b():
                for k in range(15):
                    b.write("CURR %g" % (1 + k / 100))
                    results["b"].append(float(b.query("CURR?")))

            ta, tb = threading.Thread(target=run_a), threading.Thread(target=run_b)
            ta.start(), tb.start()
            ta.join(30), tb.join(30)
            self.assertEqual(len(results["a"]), 15)
            self.assertTrue(all(2.5 < v < 4.5 for v in results["a"]))
            self.assertEqual(results["b"], [round(1 + k / 100, 2) for k in range(15)])
            # Each client has its own error queue.
            a.write("FOO")
            self.assertEqual(codes(b), [])
            self.assertEqual(codes(a), [-113])
        finally:
            b.close()

    def test_garbage_and_half_lines(self):
        other = visa(self.port)
        s = raw(self.port)
        try:
            s.sendall(b"\x00\xff\xfe\x01\x02\x80garbage\r\n*IDN?\r\n")
            self.assertTrue(read_line(s).startswith("USB Tester Simulator,KV37"))
            s.sendall(b"SYST:ERR?\n")
            self.assertTrue(read_line(s).startswith("-102,"))
            # A line in pieces is one command once its newline comes.
            s.sendall(b"*ID")
            time.sleep(0.3)
            self.assertEqual(other.query("SYST:VERS?"), "1999.0")
            s.sendall(b"N?")
            time.sleep(0.3)
            s.sendall(b"\n")
            self.assertTrue(read_line(s).startswith("USB Tester Simulator"))
            # A half line is dropped with its client.
            s.sendall(b"INP O")
            s.close()
            self.assertEqual(other.query("INP?"), "0")
            self.assertEqual(codes(other), [])
        finally:
            other.close()

    def test_overlong_lines(self):
        other = visa(self.port)
        s = raw(self.port)
        try:
            s.sendall(b"A" * 5000 + b"\n*OPC?\n")
            self.assertEqual(read_line(s), "1")
            s.sendall(b"SYST:ERR?\n")
            self.assertTrue(read_line(s).startswith("-363,"))
            # Megabytes without a newline: the server holds none of it and
            # the others go on meanwhile.
            chunk = b"MEAS:VOLT? " * 10000
            for _ in range(40):
                s.sendall(chunk)
                self.assertEqual(other.query("*OPC?"), "1")
            s.sendall(b"\n*IDN?\n")
            self.assertTrue(read_line(s, 10).startswith("USB Tester Simulator"))
            s.sendall(b"SYST:ERR?;SYST:ERR?\n")
            self.assertEqual(read_line(s)[:5], "-363,")
            # Exactly 4096 bytes is a line still.
            s.sendall(b"*OPC?" + b" " * 4091 + b"\n")
            self.assertEqual(read_line(s), "1")
        finally:
            s.close()
            other.close()

    def test_client_that_never_reads(self):
        other = visa(self.port)
        s = socket.socket()
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.connect(("127.0.0.1", self.port))
        s.settimeout(0.5)

        def reset():
            # Looks without reading: reading would make room for the answers.
            try:
                s.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT)
            except BlockingIOError:
                return False
            except (ConnectionResetError, BrokenPipeError):
                return True
            return False

        try:
            dropped = False
            deadline = time.monotonic() + 30
            while not dropped and time.monotonic() < deadline:
                try:
                    s.sendall(b"*IDN?\n" * 200)
                except socket.timeout:
                    pass  # the server reads no more than it can queue
                except (ConnectionResetError, BrokenPipeError):
                    dropped = True
                dropped = dropped or reset()
                # The others go on meanwhile.
                self.assertEqual(other.query("*OPC?"), "1")
            self.assertTrue(dropped, "a client that reads nothing stays connected")
            self.assertTrue(other.query("*IDN?").startswith("USB Tester Simulator"))
        finally:
            s.close()
            other.close()

    def test_commands_of_a_client_that_hung_up_still_run(self):
        self.inst.write("FUNC CURR;CURR 1")
        self.inst.write("INP ON")
        self.assertEqual(self.inst.query("INP?"), "1")
        s = raw(self.port)
        s.sendall(b"INP OFF\n")  # echo "INP OFF" | nc …
        s.close()
        self.assertTrue(wait_until(lambda: self.inst.query("INP?") == "0", 5))

    def test_fifth_client_refused(self):
        clients = [self.inst] + [visa(self.port) for _ in range(3)]
        try:
            for c in clients:
                self.assertEqual(c.query("*OPC?"), "1")
            fifth = raw(self.port)
            self.assertTrue(closed_by_server(fifth), "a fifth client was served")
            fifth.close()
            with self.assertRaises(Exception):
                extra = visa(self.port, 1000)
                try:
                    extra.query("*IDN?")
                finally:
                    extra.close()
            for c in clients:
                self.assertEqual(c.query("*OPC?"), "1")
            # A place that comes free takes the next client.
            clients.pop().close()
            time.sleep(0.2)
            again = visa(self.port)
            clients.append(again)
            self.assertTrue(again.query("*IDN?").startswith("USB Tester Simulator"))
        finally:
            for c in clients[1:]:
                c.close()

    def test_reset(self):
        self.inst.write("FUNC CURR;CURR 1;INP ON")
        self.assertEqual(self.inst.query("INP?"), "1")
        self.assertEqual(self.inst.query("*RST;*OPC?"), "1")
        self.assertEqual(self.inst.query("INP?"), "0")
        self.assertEqual(codes(self.inst), [])


class ListenTests(unittest.TestCase):
    """Where serve listens, and what it says about it."""

    def test_loopback_is_quiet_and_other_addresses_warn(self):
        quiet = Server(["--simulate"])
        self.assertTrue(visa(quiet.port).query("*IDN?").startswith("USB Tester Simulator"))
        code, err = quiet.stop()
        self.assertEqual((code, err), (0, ""))
        open_to_all = Server(["--simulate"], listen="0.0.0.0:0")
        code, err = open_to_all.stop()
        self.assertEqual(code, 0)
        self.assertIn("anyone who can reach this port controls the load", err)

    def test_port_in_use(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            run = subprocess.run([PATHS["cli"], "--simulate", "serve", "--listen",
                                  "127.0.0.1:%d" % port], capture_output=True, timeout=20)
            self.assertEqual(run.returncode, 1)
            self.assertIn(b"cannot listen on 127.0.0.1:%d" % port, run.stderr)


class ReadmeExampleTests(unittest.TestCase):
    """The PyVISA example of the README, run as written but for the port."""

    def test_example_runs(self):
        readme = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
        with open(readme, encoding="utf-8") as f:
            text = f.read()
        m = re.search(r"<!-- pyvisa-example.*?-->\s*```python\n(.*?)```", text, re.S)
        self.assertIsNotNone(m, "no example in the README")
        code = m.group(1)
        self.assertLessEqual(len(code.strip().splitlines()), 10)
        server = Server(["--simulate"])
        try:
            run = subprocess.run([sys.executable, "-c", code.replace("5025", str(server.port))],
                                 capture_output=True, timeout=60)
        finally:
            server.stop()
        self.assertEqual(run.returncode, 0, run.stderr.decode())
        idn, readings, end = run.stdout.decode().splitlines()
        self.assertTrue(idn.startswith("USB Tester Simulator,KV37,"))
        volts, amps = (float(x) for x in readings.split(";"))
        self.assertTrue(3.0 < volts < 4.3 and abs(amps - 1.5) < 0.05, readings)
        self.assertTrue(end.endswith('mAh; 0,"No error"'), end)


class PowerTesterTests(unittest.TestCase):
    """A USB power tester: readings, and -221 for every load command."""

    @classmethod
    def setUpClass(cls):
        cls.server = Server(["--simulate=RX41"])

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_readings_and_load_commands(self):
        inst = visa(self.server.port)
        try:
            self.assertEqual(inst.query("*IDN?").split(",")[1], "RX41")
            volts = float(inst.query("MEAS:VOLT?"))
            self.assertTrue(4.5 < volts < 21, volts)
            self.assertEqual(len(inst.query("MEAS:ALL?").split(",")), 10)
            for line in ["FUNC CURR", "CURR 1", "VOLT:CUT 3", "INP ON", "INP?", "FUNC?"]:
                inst.write(line)
                self.assertEqual(codes(inst), [-221], line)
            self.assertEqual(inst.query("*RST;*OPC?"), "1")
        finally:
            inst.close()


def window_env(home):
    # The window keeps its runs in a history of this test's own, however the
    # script is started.
    return dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=home,
                XDG_DATA_HOME=os.path.join(home, "data"))


class WindowTests(unittest.TestCase):
    """usb-tester --scpi: the server on the window's session while it polls."""

    @classmethod
    def setUpClass(cls):
        if "window" not in PATHS:
            raise unittest.SkipTest("no --window given")
        cls.port = free_port()
        cls.home = tempfile.TemporaryDirectory()
        env = window_env(cls.home.name)
        cls.proc = subprocess.Popen(
            [PATHS["window"], "--simulate", "--scpi", "127.0.0.1:%d" % cls.port],
            cwd=cls.home.name, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

        def up():
            try:
                with socket.create_connection(("127.0.0.1", cls.port), timeout=1):
                    return True
            except OSError:
                return cls.proc.poll() is not None
        wait_until(up, 20)
        if cls.proc.poll() is not None:
            raise RuntimeError("the window ended: %r" % (cls.proc.communicate(),))

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        try:
            out, err = cls.proc.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            cls.proc.kill()
            out, err = cls.proc.communicate()
        cls.home.cleanup()
        assert not err.strip(), err

    def test_port_in_use_ends_the_window(self):
        env = window_env(self.home.name)
        run = subprocess.run([PATHS["window"], "--simulate", "--scpi", "127.0.0.1:%d" % self.port],
                             cwd=self.home.name, env=env, capture_output=True, timeout=30)
        self.assertEqual(run.returncode, 1)
        self.assertIn(b"cannot listen on", run.stderr)

    def test_discharge_while_the_window_polls(self):
        a, b = visa(self.port), visa(self.port)
        try:
            self.assertEqual(a.query("*IDN?").split(",")[1], "KV37")
            a.write("FUNC CURR;CURR 1.5;VOLT:CUT 3")
            self.assertEqual(codes(a), [])
            a.write("INP ON")
            self.assertEqual(b.query("INP?"), "1")
            for _ in range(10):
                self.assertAlmostEqual(float(a.query("MEAS:CURR?")), 1.5, delta=0.05)
                self.assertTrue(3.0 < float(b.query("MEAS:VOLT?")) < 4.3)
            for k in range(5):
                # Clients are not ordered among themselves: b waits for its own.
                self.assertEqual(b.query("CURR %g;*OPC?" % (1 + k / 10)), "1")
                self.assertEqual(float(a.query("CURR?")), round(1 + k / 10, 1))
            a.write("INP OFF")
            self.assertEqual(b.query("INP?"), "0")
            self.assertEqual(codes(a), [])
            self.assertEqual(codes(b), [])
        finally:
            a.close()
            b.close()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--window")
    args, rest = parser.parse_known_args()
    PATHS.update({k: os.path.abspath(v) for k, v in vars(args).items() if v})
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
