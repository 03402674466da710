#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real program read through the AT-SPI bus, the way a screen reader reads it.

Started by atspi_walk.sh inside a private D-Bus session on a virtual X screen. Walks the main
window, opens the scenario catalogue by its tool button's accessible action and walks it, picks a
scenario with the keyboard, starts a run with the Пуск button's action and reads the chart's
description twice while the run goes on; then stops the run and opens the fit, prediction and
program information dialogs from their menu items, walks each and closes it with Escape. Fails on
any shown part a person acts on that has no name, or when the description does not follow the run.
With the argument `en` the program runs with an English system language and the walk also fails on
any Russian it is told.
"""
import os
import re
import subprocess
import sys
import threading
import time

import pyatspi
from gi.repository import Atspi, GLib

# Roles of the parts a person acts on or reads as one thing: each one needs a name.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM,
    pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE,
    pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_CHART, pyatspi.ROLE_LINK,
}
# The texts the walk looks for, in the interface's language.
TEXTS = {
    "ru": {"choose": "Выбор эксперимента", "scenario": "Тепло ладони", "start": "Пуск", "run": "Опыт 1:",
           "stop": "Стоп", "dialogs": ["Подобрать формулу...", "Ввести прогноз...", "Сведения о программе..."]},
    "en": {"choose": "Choose an experiment", "scenario": "Warmth of a hand", "start": "Start", "run": "Run 1:",
           "stop": "Stop", "dialogs": ["Fit a formula...", "Type a prediction...", "About the program..."]},
}
CYRILLIC = re.compile("[\u0400-\u04ff]")
TIMEOUT = 60  # seconds for anything the program has to do first (start, connect, a run)
# The exit status that tells atspi_walk.sh the program ended before the walk began (it could not
# reach the screen, say): the script says so and tries once more on a new screen and bus.
NEVER_STARTED = 75
program_process = None
STARTED = "the program on the AT-SPI bus"


def wait_for(what, condition, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if program_process is not None and program_process.poll() is not None:
            print(f"FAIL: the program ended (status {program_process.returncode}) while waiting for {what}")
            sys.exit(NEVER_STARTED if what == STARTED else 1)
        while GLib.MainContext.default().iteration(False):  # the bus's events meanwhile
            pass
        try:
            found = condition()
        except Exception:  # the tree changes under us while the program works
            found = None
        if found:
            return found
        time.sleep(0.2)
    sys.exit(f"FAIL: waited {timeout} s for {what}")


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return []


def walk(node, depth=0):
    """Every shown node under `node`, depth first."""
    if node is None or depth > 60:
        return
    try:
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            return
    except Exception:
        return
    yield node
    for child in children(node):
        yield from walk(child, depth + 1)


def unnamed(root):
    found = []
    for node in walk(root):
        if node.getRole() in INTERACTIVE and not (node.name or "").strip():
            found.append(f"{node.getRoleName()} under {node.parent.getRoleName()} '{node.parent.name}'")
    return found


def russian(root):
    """What a reader is told in Russian under `root`: names and descriptions of shown nodes."""
    found = []
    for node in walk(root):
        for told in (node.name or "", node.description or ""):
            if CYRILLIC.search(told):
                found.append(f"{node.getRoleName()} '{told[:70]}'")
    return found


def find(root, role, name=None, prefix=None):
    for node in walk(root):
        if node.getRole() != role:
            continue
        if name is not None and node.name != name:
            continue
        if prefix is not None and not (node.name or "").startswith(prefix):
            continue
        return node
    return None


def menu_item(root, name, depth=0):
    """The menu item called `name` under `root`, shown or not: a closed menu's items are on the bus
    too, and their action triggers them as a click does."""
    if root is None or depth > 30:
        return None
    for child in children(root):
        try:
            if child.getRole() == pyatspi.ROLE_MENU_ITEM and (child.name or "").replace("&", "") == name:
                return child
        except Exception:
            continue
        found = menu_item(child, name, depth + 1)
        if found is not None:
            return found
    return None


def press(node):
    """The node's press action. A button that opens a modal dialog answers only when the dialog
    closes, so the answer is not waited for."""
    action = node.queryAction()
    index = next((i for i in range(action.nActions) if action.getName(i).lower() in ("press", "toggle")), 0)
    threading.Thread(target=lambda: _quietly(action.doAction, index), daemon=True).start()


def _quietly(call, *args):
    try:
        call(*args)
    except Exception:
        pass


def key(sym):
    pyatspi.Registry.generateKeyboardEvent(sym, None, pyatspi.KEY_SYM)
    time.sleep(0.3)


def main():
    program = sys.argv[1]
    language = sys.argv[2] if len(sys.argv) > 2 else "ru"
    texts = TEXTS[language]
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    if language == "en":
        env.update(LANG="en_GB.UTF-8", LANGUAGE="en_GB:en", LC_ALL="")
    else:
        env.update(LANG="ru_RU.UTF-8", LANGUAGE="ru", LC_ALL="")

    def in_english(where, root):
        return [f"Russian in the {where}: {r}" for r in russian(root)] if language == "en" else []
    global program_process
    proc = program_process = subprocess.Popen([program, "/DEMO"], env=env)
    failures = []
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for(STARTED,
                       lambda: next((a for a in children(desktop) if a and a.get_process_id() == proc.pid), None))
        window = wait_for("the main window", lambda: next((w for w in children(app) if w.getRole() == pyatspi.ROLE_FRAME), None))
        print(f"main window: '{window.name}'")
        failures += [f"unnamed in the main window: {u}" for u in unnamed(window)]
        failures += in_english("main window", window)

        # The catalogue, opened as a screen reader user opens it: the tool button's action.
        choose = wait_for("the scenario button", lambda: find(window, pyatspi.ROLE_PUSH_BUTTON, prefix=texts["choose"]))
        press(choose)
        dialog = wait_for("the catalogue", lambda: next((d for d in children(app) if d.getRole() == pyatspi.ROLE_DIALOG), None))
        print(f"dialog: '{dialog.name}'")
        failures += [f"unnamed in the catalogue: {u}" for u in unnamed(dialog)]
        failures += in_english("catalogue", dialog)

        # A scenario by keys alone: down the tree, open a group, until «Тепло ладони» is current.
        tree = wait_for("the catalogue's tree", lambda: find(dialog, pyatspi.ROLE_TREE) or find(dialog, pyatspi.ROLE_TREE_TABLE))
        tree.queryComponent().grabFocus()
        time.sleep(0.5)
        chosen = False
        for _ in range(40):
            current = next((n for n in list(walk(tree))[1:] if n.getState().contains(pyatspi.STATE_FOCUSED)), None)
            if current is not None and current.name == texts["scenario"]:
                chosen = True
                break
            states = current.getState() if current is not None else None
            closed_group = states is not None and states.contains(pyatspi.STATE_EXPANDABLE) and not states.contains(pyatspi.STATE_EXPANDED)
            key(0xFF53 if closed_group else 0xFF54)  # Right opens a group, else Down
        if not chosen:
            sys.exit(f"FAIL: '{texts['scenario']}' never became the current scenario of the catalogue")
        key(0xFF0D)  # Return: OK

        # Connected to the demo sensor, the frame shows its chart; Пуск starts a run.
        chart = wait_for("the chart", lambda: find(window, pyatspi.ROLE_CHART))
        print(f"chart: '{chart.name}' — '{chart.description}'")
        failures += [f"unnamed in the main window with a scenario: {u}" for u in unnamed(window)]
        failures += in_english("main window with a scenario", window)
        start = wait_for("Пуск enabled", lambda: next((b for b in walk(window) if b.getRole() == pyatspi.ROLE_PUSH_BUTTON and b.name.startswith(texts["start"]) and b.getState().contains(pyatspi.STATE_ENABLED)), None))
        # What a reader is told while the run goes on: the description read afresh, and the
        # change events the program sends about it.
        told = []
        listener = Atspi.EventListener.new(lambda event: told.append(event.any_data) if event.source == chart else None)
        listener.register("object:property-change:accessible-description")

        def description():
            chart.clear_cache()
            return chart.description

        press(start)
        first = wait_for("a description of the live run", lambda: description() if description().startswith(texts["run"]) else None)
        second = wait_for("the description following the run", lambda: description() if description() != first else None, timeout=20)
        wait_for("the change events", lambda: len(told) >= 2, timeout=10)
        print(f"during the run: '{first}' then '{second}'; {len(told)} change events")
        listener.deregister("object:property-change:accessible-description")

        # The run stopped, each dialog of the window opened from its menu item, walked, closed.
        stop = wait_for("the stop item", lambda: menu_item(window, texts["stop"]))
        press(stop)
        wait_for("the run to stop", lambda: not stop.getState().contains(pyatspi.STATE_ENABLED))
        for item in texts["dialogs"]:
            before = {d for d in children(app) if d.getRole() == pyatspi.ROLE_DIALOG and d.getState().contains(pyatspi.STATE_SHOWING)}
            press(wait_for(f"the menu item «{item}»", lambda: menu_item(window, item)))
            opened = wait_for(f"the dialog of «{item}»", lambda: next((d for d in children(app) if d.getRole() == pyatspi.ROLE_DIALOG and d.getState().contains(pyatspi.STATE_SHOWING) and d not in before), None))
            print(f"dialog: '{opened.name}'")
            failures += [f"unnamed in «{opened.name}»: {u}" for u in unnamed(opened)]
            failures += in_english(f"dialog «{opened.name}»", opened)
            key(0xFF1B)  # Escape closes it
            wait_for(f"«{opened.name}» to close", lambda: not opened.getState().contains(pyatspi.STATE_SHOWING))
    finally:
        proc.kill()
        proc.wait()
    for failure in failures:
        print(f"FAIL: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
