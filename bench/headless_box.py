# SPDX-License-Identifier: GPL-3.0-or-later
"""The headless program as a box beside the meter runs it, on the simulated meter, for the long-running benches:
a data folder set up as a user would, a mosquitto broker on loopback, and the web page's commands."""

import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def set_keys(path, keys):
    """Sets KEY=value lines of a settings file, keeping its CR LF ends; refuses a key the file does not have."""
    with open(path, "rb") as f:
        text = f.read().decode()
    for key, value in keys.items():
        text, n = re.subn(r"(?m)^%s=[^\r\n]*" % re.escape(key), "%s=%s" % (key, value), text)
        if n != 1:
            raise SystemExit("%s has no line %s=" % (path, key))
    with open(path, "wb") as f:
        f.write(text.encode())


class Broker:
    """mosquitto on a loopback port, and a subscriber that keeps every state message with the time it came."""

    def __init__(self):
        self.port = free_port()
        self.work = tempfile.mkdtemp(prefix="wattsight-broker-")
        conf = os.path.join(self.work, "mosquitto.conf")
        with open(conf, "w") as f:
            f.write("listener %d 127.0.0.1\npersistence false\nallow_anonymous true\n" % self.port)
            if os.geteuid() == 0:
                f.write("user root\n")
        self.broker = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 5
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                break
            except OSError:
                time.sleep(0.05)
        self.states = []  # (arrival time, the state's JSON object)
        self.sub = subprocess.Popen(
            ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(self.port), "-t", "wattsight/meter1/state"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.sub.stdout:
            try:
                self.states.append((time.time(), json.loads(line)))
            except ValueError:
                pass

    def stop(self):
        for p in (self.sub, self.broker):
            p.terminate()
            p.wait()
        shutil.rmtree(self.work, ignore_errors=True)


class Box:
    """A data folder with the simulated meter as the remembered camera, started with the program, logging resumed
    after a restart, the web page on a loopback port and, with a broker, publishing on."""

    def __init__(self, program, power_watts, broker=None, logging_seconds=300, work=None):
        self.program = program
        self.work = work or tempfile.mkdtemp(prefix="wattsight-box-")
        self.data = os.path.join(self.work, "data")
        os.makedirs(self.data, exist_ok=True)
        # The first start writes the factory files, then ends: no camera is remembered yet.
        subprocess.run([program, "--headless", "--data-dir", self.data], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=self.env(), timeout=60)
        self.web_port = free_port()
        set_keys(self.file("UNATTENDEDSETTINGS.CFG"), {
            "CAMERA_DEVICE": "Simulated meter", "START_CAMERA_AT_STARTUP": "true",
            "RESUME_LOGGING_AFTER_RESTART": "true", "SIMULATED_POWER_WATTS": power_watts})
        publish = {"WEB_PAGE": "true", "WEB_PORT": self.web_port}
        if broker:
            publish.update({"PUBLISH_MQTT": "true", "MQTT_HOST": "127.0.0.1", "MQTT_PORT": broker.port})
        set_keys(self.file("PUBLISHSETTINGS.CFG"), publish)
        set_keys(self.file("LOGSETTINGS.CFG"), {"LOGGING_INTERVAL_SECONDS": logging_seconds})

    @staticmethod
    def env():
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        env.setdefault("XDG_RUNTIME_DIR", tempfile.gettempdir())
        return env

    def file(self, name):
        return os.path.join(self.data, name)

    def start(self, prefix=()):
        """Starts the program, under the prefix's command when given; returns its Life."""
        return Life(subprocess.Popen([*prefix, self.program, "--headless", "--data-dir", self.data], env=self.env(),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True))

    def get(self, path, timeout=5):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.web_port, path), timeout=timeout) as r:
            return json.loads(r.read())

    def command(self, name, payload, timeout=10):
        request = urllib.request.Request("http://127.0.0.1:%d/api/command/%s" % (self.web_port, name),
                                         data=payload.encode(), headers={"X-Wattsight-Page": "1"})
        with urllib.request.urlopen(request, timeout=timeout) as r:
            answer = json.loads(r.read())
        if not answer.get("done"):
            raise SystemExit("the command %s %r was refused: %s" % (name, payload, answer))

    def remove(self):
        shutil.rmtree(self.work, ignore_errors=True)


class Life:
    """One run of the program: the moments its log lines arrived, read as they come."""

    STARTED = "\" started."

    def __init__(self, process):
        self.process = process
        self.started = time.time()
        self.camera_at = None  # when the camera started, by the arrival of its log line
        self.lines = []
        self.camera = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stderr:
            now = time.time()
            self.lines.append(line.rstrip("\n"))
            if self.camera_at is None and self.STARTED in line:
                self.camera_at = now
                self.camera.set()

    def wait_camera(self, timeout):
        return self.camera.wait(timeout)

    def end(self, sig, timeout=30):
        if sig and self.process.poll() is None:
            self.process.send_signal(sig)
        code = self.process.wait(timeout)
        self.reader.join(5)
        return code
