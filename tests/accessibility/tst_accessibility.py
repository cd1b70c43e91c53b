#!/usr/bin/python3
"""The program as a screen reader meets it, through the desktop's accessibility bus.

Starts a virtual X display, a D-Bus session bus and the AT-SPI registry, then
the real program with Qt's accessibility bridge on, and reads its windows
through AT-SPI while a pupil plays the worked example of exercise 7 with the
keyboard alone (real key events, injected with xdotool):

- every control a pupil uses has a role, an Italian name, and can be focused
  and activated;
- each answer is announced on the control answered ("giusto", "sbagliato"),
  and the counters show their new values;
- "Archivio dei risultati" leaves the row the answers make in the archive.

A second start checks the confirmation button of a listed name. Then the
teacher's class register opens that archive and is worked with the keyboard
alone: the search, the table and the charts that describe the pupil chosen.

    tst_accessibility.py PROGRAM ARCHIVE_TOOL HELP_DOCUMENT REGISTER

Every wait is bounded and every process started here is stopped at the end.
Exits 77 (skipped) when a tool it needs is missing, unless CI is set.
"""

import ctypes
import importlib.util
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

SKIPPED = 77
TIME_LIMIT = 240    # seconds; CTest's own limit is 300
PUPIL = "Rossi Mario"
EXPECTED_ROW = "Rossi Mario|1|1|1|0|1|0"
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
REGISTRY = "/usr/libexec/at-spi2-registryd"

FORMNOME = "Form1"
FNOZIOLI = "ESERCIZI DI NOZIOLIZZAZIONE"
RISULTATI = "Risultati conseguiti nelle esercitazioni"
REGISTRO = "Registro di classe — nozioli.mdb"

CONFIRM = ("CLICCA QUI, se la scelta del nome è giusta. Altrimenti scegli un altro nome negli elenchi, "
           "oppure clicca su INSERISCO IL MIO NOME")
PROMPT = "Seleziona, qui sopra, l'esercizio"
SUPER_CONCEPTS = ["politica", "economia", "società", "cultura", "popolazione", "spazio", "avvenimenti"]
SPAZIO_CONCEPTS = ["rapporto tra ambiente e economia", "rapporto tra ambiente e cultura",
                   "rapporto tra ambiente e avvenimento"]
# (frame, caption) of Check1..Check9
BOXES = [("Periodo", "Esplicito"), ("Periodo", "Implicito"), ("Durata", "Breve"), ("Durata", "Media"),
         ("Durata", "Lunga"), ("Luogo", "Esplicito"), ("Luogo", "Implicito"),
         ("Tempo", "Contemporaneità"), ("Tempo", "Successione")]

# What each counter of the main window counts, as its accessible description says.
COUNTERS = {
    "sovragiustiesercizio": "Sovranozioli giusti in questo esercizio",
    "sovrasbagliatiesercizio": "Sovranozioli sbagliati in questo esercizio",
    "nozioligiustiesercizio": "Nozioli giusti in questo esercizio",
    "noziolisbagliatiesercizio": "Nozioli sbagliati in questo esercizio",
    "sovragiusti": "Sovranozioli giusti in tutto",
    "sovrasbagliati": "Sovranozioli sbagliati in tutto",
    "nozioligiusti": "Nozioli giusti in tutto",
    "noziolisbagliati": "Nozioli sbagliati in tutto",
    "spaziotempogiusti": "Spazio e tempo: risposte giuste in tutto",
    "spaziotemposbagliati": "Spazio e tempo: risposte sbagliate in tutto",
}

# Roles a pupil can work with the keyboard alone once they have the focus;
# the items inside them are reached with the arrows.
OPERABLE_ROLES = {"push button", "check box", "list", "combo box", "text", "table"}
ITEM_ROLES = {"list item", "table cell"}

# Words of the toolkit's English that must not reach the pupil.
ENGLISH = {"cancel", "close", "yes", "apply", "button", "label", "checkbox", "combobox", "name", "surname",
           "search", "back", "exit", "help", "results", "select", "list", "table", "untitled"}

pyatspi = None
GLib = None


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def missing_tools():
    missing = [t for t in ("Xvfb", "xdotool", "dbus-daemon", "dbus-send", "sqlite3") if shutil.which(t) is None]
    if not all(os.access(p, os.X_OK) for p in (BUS_LAUNCHER, REGISTRY)):
        missing.append("at-spi2-core")
    # Looked for, not loaded: libatspi must first meet the buses started here.
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        found = importlib.util.find_spec("pyatspi") is not None
    except (ImportError, ValueError):
        found = False
    if not found:
        missing.append("python3-pyatspi gir1.2-atspi-2.0")
    return missing


def wait_until(what, probe, timeout=10.0, interval=0.05):
    """Polls probe() until it gives something true, for at most timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("in %.0f s: %s" % (timeout, what))
        time.sleep(interval)


def bus_call(address, destination, path, method, *args):
    """One method call with dbus-send; its reply as text."""
    out = subprocess.run(["dbus-send", "--bus=" + address, "--print-reply=literal", "--reply-timeout=2000",
                          "--dest=" + destination, path, method, *args],
                         capture_output=True, text=True, timeout=10)
    check(out.returncode == 0, "%s answers: %s" % (method, out.stderr.strip()))
    return out.stdout.strip()


def name_has_owner(address, name):
    return bus_call(address, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                    "org.freedesktop.DBus.NameHasOwner", "string:" + name) == "boolean true"


def children_left():
    """Processes whose parent is this one: what stopped processes left behind."""
    me = str(os.getpid())
    found = []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if fields[1] == me:
            found.append(int(entry))
    return found


class Session:
    """The display, the buses and the program; stopped in reverse order.

    The test process adopts what its children leave running (the bus launcher
    starts the accessibility bus), so that it can stop and reap that too."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.processes = []
        self.logs = []
        PR_SET_CHILD_SUBREAPER = 36
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    def spawn(self, argv, **kwargs):
        process = subprocess.Popen(argv, **kwargs)
        self.processes.append(process)
        return process

    def stop(self, process, timeout=5.0):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout)
        if process in self.processes:
            self.processes.remove(process)

    def close(self, timeout=5.0):
        for process in reversed(list(self.processes)):
            self.stop(process)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline + timeout:
            left = children_left()
            if not left:
                break
            for pid in left:
                try:
                    if os.waitpid(pid, os.WNOHANG)[0] == 0:
                        os.kill(pid, signal.SIGTERM if time.monotonic() < deadline else signal.SIGKILL)
                except (ChildProcessError, ProcessLookupError):
                    pass
            time.sleep(0.05)
        for log in self.logs:
            log.close()

    def log(self, name):
        log = open(os.path.join(self.workdir, name), "w")
        self.logs.append(log)
        return log

    @staticmethod
    def first_line(stream, what, timeout=10.0):
        ready, _, _ = select.select([stream], [], [], timeout)
        check(ready, "in %.0f s: %s" % (timeout, what))
        line = stream.readline().decode().strip()
        check(line, what)
        return line

    def start_display(self):
        # Xvfb picks a free display number itself and writes it once it takes clients.
        xvfb = self.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                          stdout=subprocess.PIPE, stderr=self.log("xvfb.log"))
        os.environ["DISPLAY"] = ":" + self.first_line(xvfb.stdout, "Xvfb gives its display number")

    def start_buses(self):
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=self.log("dbus.log"))
        session_bus = self.first_line(bus.stdout, "the session bus gives its address")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = session_bus
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        # The launcher starts the accessibility bus and tells its address on the
        # session bus; stopped, it ends that bus. Asked before the launcher owns
        # its name, the session bus would start a second one.
        self.spawn([BUS_LAUNCHER, "--launch-immediately"], stdout=subprocess.DEVNULL,
                   stderr=self.log("at-spi.log"))
        wait_until("the accessibility bus launcher is on the session bus",
                   lambda: name_has_owner(session_bus, "org.a11y.Bus"))
        a11y_bus = bus_call(session_bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        env = dict(os.environ, AT_SPI_BUS_ADDRESS=a11y_bus)
        self.spawn([REGISTRY], env=env, stdout=subprocess.DEVNULL, stderr=self.log("registry.log"))
        wait_until("the registry is on the accessibility bus",
                   lambda: name_has_owner(a11y_bus, "org.a11y.atspi.Registry"))

    def start_program(self, program, log_name):
        # The user's own folders are the test's, so that nothing the program
        # keeps for the user (settings, results kept on this PC) comes in.
        home = os.path.join(self.workdir, "utente")
        folders = {v: os.path.join(home, v.lower()) for v in
                   ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR")}
        for folder in folders.values():
            os.makedirs(folder, mode=0o700, exist_ok=True)
        env = dict(os.environ, **folders, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", LC_ALL="C.UTF-8")
        if "ASAN_OPTIONS" in env:
            # The X keyboard library copies names out of X replies with a bounded
            # strndup; strict string checks take the unterminated reply for an overflow.
            env["ASAN_OPTIONS"] += ":strict_string_checks=0"
        return self.spawn([program], cwd=self.workdir, env=env, stdout=self.log(log_name),
                          stderr=subprocess.STDOUT)

    def wait_end(self, process, timeout=10.0):
        try:
            code = process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("in %.0f s: the program ends" % timeout)
        self.processes.remove(process)
        return code


# ---- the accessibility tree ----

def descendants(node):
    """Every accessible object below node, depth first."""
    out = []
    stack = [node]
    while stack:
        current = stack.pop()
        try:
            children = [current.getChildAtIndex(i) for i in range(current.childCount)]
        except Exception:
            continue
        for child in reversed(children):
            if child is not None:
                out.append(child)
                stack.append(child)
    return out


def fresh(acc):
    """acc with what libatspi cached of it dropped: the next reads ask the program."""
    acc.clear_cache()
    return acc


def states(acc):
    return {pyatspi.stateToString(s) for s in fresh(acc).getState().getStates()}


def spoken(text):
    """Text as it is read out: runs of spaces and line breaks are one space."""
    return " ".join((text or "").split())


def name_of(acc):
    return spoken(fresh(acc).name)


def description_of(acc):
    return spoken(fresh(acc).description)


def role_of(acc):
    return acc.getRoleName()


def actions_of(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def describe(acc):
    return "«%s» (%s)" % (name_of(acc), role_of(acc))


class Program:
    """The running program as the accessibility bus shows it."""

    def __init__(self, process):
        self.process = process
        self.node = wait_until("the program shows on the accessibility bus", self.find_node, timeout=30)

    def find_node(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def windows(self):
        return [w for w in (self.node.getChildAtIndex(i) for i in range(self.node.childCount)) if w is not None]

    def window(self, title, timeout=15.0):
        def probe():
            for w in self.windows():
                if name_of(w) == title and "showing" in states(w):
                    return w
            return None
        return wait_until("the window «%s» shows" % title, probe, timeout)


def find(window, role, name=None, parent=None):
    """The one control of this role and name (in the frame named parent) in window."""
    found = [a for a in descendants(window) if role_of(a) == role and (name is None or name_of(a) == name)
             and (parent is None or name_of(a.parent) == parent) and "showing" in states(a)]
    check(len(found) == 1, "%d controls «%s» (%s%s) in «%s»"
          % (len(found), name, role, ", in «%s»" % parent if parent else "", name_of(window)))
    return found[0]


def find_each(window, role, *names):
    return [find(window, role, name) for name in names]


def labels_of(acc):
    """The names of the labels that acc is labelled by."""
    names = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [name_of(relation.getTarget(i)) for i in range(relation.getNTargets())]
    return names


def check_operable(acc):
    """A control the pupil can use: a role, an Italian name, the focus and an action."""
    name, role, st = name_of(acc), role_of(acc), states(acc)
    check(role not in ("", "unknown", "invalid"), "%s has a role" % describe(acc))
    check(name, "the %s has a name" % role)
    check(not set(re.findall(r"\w+", name.lower())) & ENGLISH, "%s is named in Italian" % describe(acc))
    check({"showing", "enabled", "sensitive"} <= st, "%s is shown and enabled (%s)" % (describe(acc), sorted(st)))
    check("focusable" in st, "%s takes the focus (%s)" % (describe(acc), sorted(st)))
    check(actions_of(acc) or role in OPERABLE_ROLES, "%s can be activated" % describe(acc))


def check_window(window):
    """Every control of window that takes the focus is one a pupil can use."""
    controls = [a for a in descendants(window)
                if role_of(a) not in ITEM_ROLES and {"showing", "focusable"} <= states(a)]
    check(controls, "«%s» has controls" % name_of(window))
    for control in controls:
        check_operable(control)


class Events:
    """The events a screen reader listens to, as they come over the bus."""

    TYPES = ("object:property-change:accessible-description", "object:state-changed:checked",
             "object:state-changed:focused")

    def __init__(self):
        self.received = []
        pyatspi.Registry.registerEventListener(self.received.append, *self.TYPES)

    def close(self):
        pyatspi.Registry.deregisterEventListener(self.received.append, *self.TYPES)

    def pump(self):
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass

    def wait(self, what, predicate, timeout=10.0):
        def probe():
            self.pump()
            return next((e for e in self.received if predicate(e)), None)
        return wait_until(what, probe, timeout)

    def clear(self):
        self.pump()
        self.received.clear()


# ---- the keyboard ----

def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "50", *keys], check=True, timeout=10)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "40", text], check=True, timeout=20)


def give_focus(title):
    """Gives the window of this title the keyboard focus, as a window manager
    gives it to a new window (the virtual display has none)."""
    def probe():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                               capture_output=True, text=True, timeout=10).stdout.split()
        return found[-1] if found else None
    window = wait_until("the X window «%s» shows" % title, probe)
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True, timeout=10)


def tab_to(events, target, limit=60):
    """Presses Tab until target has the focus, following the focus as the bus
    reports it to a screen reader."""
    before = None
    for _ in range(limit):
        if "focused" in states(target):
            return
        events.clear()
        key("Tab")
        moved = events.wait("the focus moves on Tab", lambda e: e.type == "object:state-changed:focused"
                            and e.detail1 == 1 and e.source != before and "focused" in states(e.source),
                            timeout=5)
        before = moved.source
    raise Failure("Tab never reaches %s" % describe(target))


# ---- the checks ----

def check_archive(workdir):
    """The archive holds the one row the answers make."""
    query = ("SELECT nome, printf('%g', sovragiusti), printf('%g', sovrasbagliati), printf('%g', nozioligiusti), "
             "printf('%g', noziolisbagliati), printf('%g', spaziotempogiusti), printf('%g', spaziotemposbagliati) "
             "FROM nozioli ORDER BY nome")
    out = subprocess.run(["sqlite3", "-separator", "|", os.path.join(workdir, "nozioli.mdb"), query],
                         capture_output=True, text=True, timeout=10)
    check(out.returncode == 0, "sqlite3 reads the archive: " + out.stderr)
    rows = out.stdout.splitlines()
    check(rows == [EXPECTED_ROW], "the archive holds %s, not %s" % ([EXPECTED_ROW], rows))


def counters(window):
    """The counters of the main window by what they count, each with its value."""
    by_description = {description_of(a): a for a in descendants(window) if role_of(a) == "label"}
    values = {}
    for counter, description in COUNTERS.items():
        check(description in by_description, "the counter «%s» is described" % description)
        values[counter] = name_of(by_description[description])
    return values


def expect_counters(window, **expected):
    def probe():
        values = counters(window)
        return all(values[c] == str(v) for c, v in expected.items()) and values
    wait_until("the counters read %s (they read %s)" % (expected, counters(window)), probe, timeout=5)


def press_on(events, control, keys):
    """Tabs to control and presses keys there."""
    tab_to(events, control)
    events.clear()
    key(keys)


def answer(events, window, control, verdict, counted, press="space"):
    """Answers with the keyboard on control; the bus tells its verdict, the
    counters of window then read as counted."""
    press_on(events, control, press)
    events.wait("%s announces «%s»" % (describe(control), verdict),
                lambda e: e.type == "object:property-change:accessible-description" and e.source == control)
    check(description_of(control) == verdict, "%s reads «%s»" % (describe(control), verdict))
    expect_counters(window, **counted)


def start(session, program_path, log_name):
    """The program started, its name window focused; that window's list of names."""
    program = Program(session.start_program(program_path, log_name))
    events = Events()
    formnome = program.window(FORMNOME)
    give_focus(FORMNOME)
    return program, events, formnome, find(formnome, "list", "Elenco dei nomi presenti in archivio")


def quit_with(session, program, events, esco, keys):
    """Ends the program with its button esco; it must end cleanly."""
    press_on(events, esco, keys)
    code = session.wait_end(program.process)
    check(code == 0, "the program ends with 0, not %s" % code)
    events.close()


def worked_example(session, program_path):
    """The worked example of exercise 7, Tab, Space and Enter only, up to the results."""
    program, events, formnome, _ = start(session, program_path, "program-1.log")
    cmdnome, _ = find_each(formnome, "push button", "INSERISCO IL MIO NOME", "Esco")
    check_window(formnome)

    press_on(events, cmdnome, "space")
    dialog = wait_until("the dialog for the name shows", lambda: next(
        (w for w in program.windows() if role_of(w) == "dialog" and "showing" in states(w)), None))
    check(name_of(dialog) == "Nozioli", "the name dialog is named after the program, not «%s»" % name_of(dialog))
    field = find(dialog, "text")
    check(name_of(field).startswith("Scrivi qui sotto PRIMA il cognome"), "the name's text box is named by its prompt")
    find_each(dialog, "push button", "OK", "Annulla")
    check_window(dialog)
    wait_until("the name's text box has the focus", lambda: "focused" in states(field))
    type_text(PUPIL)
    key("Return")

    main = program.window(FNOZIOLI)
    # On this desktop a drop-down list is named by its label and reads its choice as its name.
    combo = find(main, "combo box")
    check(labels_of(combo) == [PROMPT], "the exercise list is labelled by «%s», not %s" % (PROMPT, labels_of(combo)))
    check_operable(combo)
    wait_until("the exercise list has the focus", lambda: "focused" in states(combo))
    key("space")
    wait_until("the exercise list opens", lambda: "expanded" in states(combo))
    key("7")
    key("Return")
    spazio = find(main, "push button", "spazio")
    wait_until("exercise 7 starts", lambda: "enabled" in states(spazio))
    check(name_of(combo) == "7", "the exercise list reads «7», not «%s»" % name_of(combo))

    supers = dict(zip(SUPER_CONCEPTS, find_each(main, "push button", *SUPER_CONCEPTS)))
    boxes = [find(main, "check box", caption, parent=frame) for frame, caption in BOXES]
    archivio = find_each(main, "push button", "? Aiuto ?", "Archivio dei risultati", "Esci")[1]
    check_window(main)
    expect_counters(main, **{c: 0 for c in COUNTERS})

    answer(events, main, spazio, "giusto", dict(sovragiustiesercizio=1, sovragiusti=1, sovrasbagliati=0))
    concepts = find_each(main, "push button", *SPAZIO_CONCEPTS)
    for control in concepts:
        check_operable(control)

    answer(events, main, concepts[2], "giusto", dict(nozioligiustiesercizio=1, nozioligiusti=1, noziolisbagliati=0),
           press="Return")
    answer(events, main, supers["economia"], "sbagliato",
           dict(sovrasbagliatiesercizio=1, sovrasbagliati=1, sovragiusti=1))

    implicito = boxes[1]
    answer(events, main, implicito, "giusto", dict(spaziotempogiusti=1, spaziotemposbagliati=0))
    events.wait("«Implicito» under «Periodo» is announced checked", lambda e: e.type == "object:state-changed:checked"
                and e.source == implicito and e.detail1 == 1)
    check("checked" in states(implicito), "«Implicito» under «Periodo» reads checked")

    press_on(events, archivio, "Return")
    risultati = program.window(RISULTATI)
    check_archive(session.workdir)

    find_each(risultati, "text", "Cognome", "Nome")
    esco = find_each(risultati, "push button", "OK, mostra i risultati", "TORNA", "Esco")[2]
    check_window(risultati)
    quit_with(session, program, events, esco, "Return")


def confirm_listed_name(session, program_path):
    """A second start: the listed name, chosen with the keyboard, offers its confirmation."""
    program, events, formnome, names = start(session, program_path, "program-2.log")
    items = [name_of(a) for a in descendants(names) if role_of(a) == "list item"]
    check(items == [PUPIL], "the list reads %s, not %s" % ([PUPIL], items))
    # Tab into the list makes its first name the current one; Space chooses it.
    key("Tab")
    press_on(events, names, "space")
    wait_until("the confirmation shows", lambda: [a for a in descendants(formnome) if role_of(a) == "push button"
                                                  and name_of(a) == CONFIRM and "showing" in states(a)])
    check_window(formnome)
    quit_with(session, program, events, find(formnome, "push button", "Esco"), "space")
    check_archive(session.workdir)


def class_register(session, register_path):
    """The register on the archive the pupil left: search, table and charts by keyboard."""
    program = Program(session.start_program(register_path, "registro.log"))
    events = Events()
    window = program.window(REGISTRO)
    give_focus(REGISTRO)
    table = find(window, "table", "Classe")
    search = find(window, "text", "Cerca un alunno per nome")
    # The count and the archive open are read as their values, described by what they are.
    count, archive = (next(a for a in descendants(window) if role_of(a) == "label" and description_of(a) == d)
                      for d in ("Alunni mostrati", "Archivio aperto"))
    check(name_of(archive) == os.path.join(session.workdir, "nozioli.mdb"),
          "the status bar reads the archive open, not «%s»" % name_of(archive))
    find_each(window, "push button", "Apri archivio…", "Aggiorna", "Esporta per foglio di calcolo…", "Stampa / PDF…")
    chart = wait_until("the pupil's chart shows", lambda: next(
        (a for a in descendants(window) if name_of(a) == "Grafico delle risposte dell'alunno scelto"), None))
    check_window(window)

    def count_reads(text):
        wait_until("the count reads «%s», not «%s»" % (text, name_of(count)), lambda: name_of(count) == text,
                   timeout=5)

    count_reads("1 alunno")
    key("ctrl+f")
    wait_until("Ctrl+F puts the focus on the search", lambda: "focused" in states(search))
    type_text("xyz")
    count_reads("0 alunni su 1")
    key("Escape")
    count_reads("1 alunno")
    type_text("rossi")
    key("Return")
    wait_until("Enter goes on to the table", lambda: "focused" in states(table))
    wait_until("the chart describes the pupil chosen", lambda: PUPIL in description_of(chart))
    events.close()
    key("ctrl+q")
    code = session.wait_end(program.process)
    check(code == 0, "the register ends with 0, not %s" % code)


def main():
    program, archive_tool, help_document, register = (os.path.abspath(a) for a in sys.argv[1:5])
    missing = missing_tools()
    if missing:
        print("Mancano: " + ", ".join(missing))
        return 1 if os.environ.get("CI") else SKIPPED

    workdir = tempfile.mkdtemp(prefix="nozioli-a11y-")
    session = Session(workdir)
    # Stopped from outside, or past its own time limit (below CTest's), the
    # test still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("interrotto"))
    signal.signal(signal.SIGALRM, lambda *_: sys.exit("tempo scaduto"))
    signal.alarm(TIME_LIMIT)
    try:
        shutil.copy(help_document, os.path.join(workdir, "aiuto.rtf"))
        subprocess.run([archive_tool, "crea", workdir], check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        session.start_display()
        session.start_buses()
        # libatspi finds the buses when it is first loaded.
        global pyatspi, GLib
        import pyatspi as atspi_module
        from gi.repository import GLib as glib_module
        pyatspi, GLib = atspi_module, glib_module

        worked_example(session, program)
        confirm_listed_name(session, program)
        class_register(session, register)
        print("accessibilità: tutti i controlli verificati")
        return 0
    except Exception as error:
        if not isinstance(error, Failure):
            traceback.print_exc()
        print("FALLITO: %s" % error)
        for log in sorted(os.listdir(workdir)):
            if log.endswith(".log"):
                print("---- %s" % log)
                print(open(os.path.join(workdir, log)).read())
        return 1
    finally:
        signal.alarm(0)
        session.close()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
